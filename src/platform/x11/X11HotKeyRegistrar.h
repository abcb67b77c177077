#pragma once

#include "platform/HotKeyRegistering.h"
#include "platform/x11/X11HotKeyCodes.h"
#include "platform/x11/XcbConnection.h"

#include <QSocketNotifier>

#include <map>
#include <memory>

namespace vorlith {

// Global hot keys on X11: passive key grabs on the root window, over a connection of its own.
//
// - Each chord is grabbed once for every combination of Caps Lock and Num Lock, Num Lock's
//   mask read from the modifier map; a mapping change renews every grab.
// - Every grab request is checked; a chord another client holds fails with BadAccess (10) and
//   the combinations already taken are released again. A chord this registrar already holds
//   under another id is refused.
// - Detectable auto-repeat is switched on for this connection only: a held key sends presses
//   and one release, not pairs, so a press gate counts one press per physical press.
// - A release is matched by key code alone: the modifiers may already be up when the key
//   comes up, and the press it ends is the one recorded for that key.
class X11HotKeyRegistrar final : public HotKeyRegistering {
public:
    // Absent when no X server answers.
    static std::unique_ptr<X11HotKeyRegistrar> open();
    ~X11HotKeyRegistrar() override;

    void registerHotKey(const ShortcutSpec& spec, quint32 id) override;
    void unregister(quint32 id) override;
    bool isKeyDown(quint32 keyCode) override;
    std::optional<quint16> editorKeyID(quint32 keyCode) override;
    std::optional<quint32> keyCodeForEditorKeyID(quint16 keyID) override;
    QString keyCharacters(quint16 keyID) override;

    const X11HotKeyCodes& keyCodes() const { return *m_keyCodes; }
    quint16 numLockMask() const { return m_numLockMask; }
    bool detectableAutoRepeat() const { return m_detectableAutoRepeat; }

private:
    struct Grab {
        ShortcutSpec spec;
        std::optional<xcb_keycode_t> key; // none while the keyboard lacks the key
        quint16 modifiers = 0;
    };

    explicit X11HotKeyRegistrar(std::unique_ptr<XcbConnection> connection);

    // Grabs one chord in every lock combination; 0 or the X error code of the first refusal
    // (the combinations that were taken are released then).
    int grab(xcb_keycode_t key, quint16 modifiers);
    void ungrab(xcb_keycode_t key, quint16 modifiers);
    std::vector<quint16> lockCombinations() const;
    void readNumLockMask();
    // After a keyboard or modifier mapping change: every grab renewed on the new keys.
    void remap();

    void readEvents();
    // Events a round trip left in xcb's queue are read on a later turn, never inside a call.
    void scheduleRead();
    void handle(xcb_generic_event_t* event);

    std::unique_ptr<XcbConnection> m_connection;
    std::unique_ptr<X11HotKeyCodes> m_keyCodes;
    std::unique_ptr<QSocketNotifier> m_notifier;
    quint16 m_numLockMask = 0;
    bool m_detectableAutoRepeat = false;
    uint8_t m_xkbEvent = 0;
    std::map<quint32, Grab> m_grabs;
    // The id whose press each key that is down began.
    std::map<xcb_keycode_t, quint32> m_down;
};

} // namespace vorlith
