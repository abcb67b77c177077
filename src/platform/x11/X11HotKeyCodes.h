#pragma once

#include <QString>
#include <QtGlobal>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <optional>

namespace vorlith {

// The one table between the key codes of the settings file (a virtual key numbering in which
// F1 is 122) and X: each key's evdev code (its position; X key code = evdev + 8, the numbering
// of platform/x11/X11KeyCodes.h), its key symbol and its name. The modifier bits of a chord
// map as the editor reads them: command → Control, control → Super (Mod4), option → Alt
// (Mod1), shift → Shift.
//
// An instance resolves key codes against one server's keyboard: by position while the
// server's F1 key is where evdev puts it, else by key symbol through the server's mapping.
class X11HotKeyCodes {
public:
    struct Key {
        quint32 keyCode;  // the settings file's numbering
        quint16 evdev;    // Linux input event code
        quint32 keysym;   // the unshifted symbol of a US layout
        const char* name; // as shown to the user
    };

    // The table's entry of a key code; none for a code the table does not know.
    static const Key* find(quint32 keyCode);
    // "F1", "A", "Space"…; empty for an unknown code.
    static QString name(quint32 keyCode);
    // The X modifier mask of a chord's modifier bits; bits without meaning are dropped.
    static quint16 xModifiers(quint32 modifiers);

    // Reads the server's keyboard mapping through the connection (which must outlive this).
    explicit X11HotKeyCodes(xcb_connection_t* connection);
    ~X11HotKeyCodes();
    X11HotKeyCodes(const X11HotKeyCodes&) = delete;
    X11HotKeyCodes& operator=(const X11HotKeyCodes&) = delete;

    // The X key code of a key; none when the table or the keyboard does not have it.
    std::optional<xcb_keycode_t> xKeyCode(quint32 keyCode) const;
    // The inverse, found the same way (by position, or by the key's unshifted symbol): the
    // settings key code of an X key code; none for a key the table does not have.
    std::optional<quint32> keyCode(xcb_keycode_t key) const;
    // The character the server's keyboard mapping puts on a key without modifiers (first
    // group), from a Latin-1 or Unicode key symbol; empty for any other symbol.
    QString characters(xcb_keycode_t key) const;
    // True when keys are found by their symbols because the server's F1 is elsewhere.
    bool usesKeySymbols() const { return m_bySymbol; }
    // After a mapping change: reread the mapping and decide again.
    void reload();

private:
    void decide();

    xcb_connection_t* m_connection;
    xcb_key_symbols_t* m_symbols;
    bool m_bySymbol = false;
};

} // namespace vorlith
