#pragma once

#include "core/ShortcutSpec.h"

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace vorlith {

// The system refused a hot key. `status` is the system's own number (on X11 the X error code:
// 10 BadAccess when another client holds the chord, 2 BadValue for a key this keyboard does
// not have); `alreadyHeld` means this registrar already holds the chord under another id.
struct HotKeyRegistrationError : std::runtime_error {
    HotKeyRegistrationError(int status, bool alreadyHeld = false)
        : std::runtime_error("hot key refused, status " + std::to_string(status)), status(status),
          alreadyHeld(alreadyHeld)
    {
    }
    int status;
    bool alreadyHeld;
};

// The back end of the global hot keys: system-wide registrations under numeric ids, and the
// state of the keyboard. Events arrive on the main thread.
class HotKeyRegistering {
public:
    virtual ~HotKeyRegistering() = default;

    // An id's key went down (true) or came up (false).
    std::function<void(quint32 id, bool pressed)> onEvent;

    // Registers a chord under an id; throws HotKeyRegistrationError.
    virtual void registerHotKey(const ShortcutSpec& spec, quint32 id) = 0;
    // Removes a registration; an unknown id is ignored.
    virtual void unregister(quint32 id) = 0;

    // Whether the key of a chord's key code is down now, on any keyboard. A key code this
    // keyboard does not have is up.
    virtual bool isKeyDown(quint32 keyCode) = 0;
    // The key id the editor's key events carry for a chord's key code (on X11 the X key code);
    // absent for a key this keyboard does not have.
    virtual std::optional<quint16> editorKeyID(quint32 keyCode) = 0;
    // The inverse: the chord key code of the key an editor key event carries; absent for a
    // key the settings file has no code for (Print, Insert, every modifier key).
    virtual std::optional<quint32> keyCodeForEditorKeyID(quint16 keyID) = 0;
    // What the keyboard layout types on that key without modifiers ("a", "1", "é"); empty
    // when it types no character.
    virtual QString keyCharacters(quint16 keyID) = 0;
};

} // namespace vorlith
