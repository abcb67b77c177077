#pragma once

#include <QString>
#include <QtGlobal>

namespace vorlith {

// X key codes (the evdev keymap every current X server uses) of the keys the capture editor
// acts on by key rather than by text. Qt reports them as QKeyEvent::nativeScanCode().
//
// The editor reads letters from the key's symbol in the active layout, not from the event's
// text: Ctrl turns the text of "z" into a control character. A French keyboard's A is "a"
// wherever it sits. The letter keys here are the positions of the US letters, the fallback
// for layouts whose keys type no Latin letter (Cyrillic, Greek), so shortcuts work there too.
struct X11KeyCodes {
    static constexpr quint16 escape = 9;
    static constexpr quint16 backSpace = 22;
    static constexpr quint16 q = 24;
    static constexpr quint16 w = 25;
    static constexpr quint16 e = 26;
    static constexpr quint16 r = 27;
    static constexpr quint16 returnKey = 36;
    static constexpr quint16 a = 38;
    static constexpr quint16 s = 39;
    static constexpr quint16 d = 40;
    static constexpr quint16 f = 41;
    static constexpr quint16 z = 52;
    static constexpr quint16 c = 54;
    static constexpr quint16 keypadEnter = 104;
    static constexpr quint16 deleteKey = 119; // forward delete

    // The characters the editor's key policy and its Ctrl shortcuts compare, for a key code:
    // the lower-case letter of a letter key above, a carriage return for Return and keypad
    // Enter, a delete character (U+007F) for BackSpace and Delete; empty for any other key.
    static QString editorCharacters(quint16 keyCode);

    // The same for a key as the layout types it: `keysym` is the key's symbol in the active
    // layout (QKeyEvent::nativeVirtualKey() on X11). A Latin letter gives itself in lower case
    // (caps lock and Shift change nothing); a letter of another script gives the US letter of
    // the key's position; Return, keypad Enter, BackSpace and Delete give their characters.
    // Any other symbol gives nothing; no symbol at all (0) reads the key by position.
    static QString editorCharacters(quint16 keyCode, quint32 keysym);
};

} // namespace vorlith
