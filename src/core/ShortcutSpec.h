#pragma once

#include <QString>
#include <QtGlobal>

namespace vorlith {

// One key chord of a global hot key, in the numbering the settings file stores: the key's
// virtual key code (F1 is 122, F2 is 120; platform/x11/X11HotKeyCodes maps them to X key
// codes) and a modifier mask of the bits below. Equality compares all three fields, the label
// included; a chord comparison (`sameChord`) ignores the label.
struct ShortcutSpec {
    static constexpr quint32 command = 0x100;
    static constexpr quint32 shift = 0x200;
    static constexpr quint32 option = 0x800;
    static constexpr quint32 control = 0x1000;

    quint32 keyCode = 0;
    quint32 modifiers = 0;
    // The chord as shown to the user, for example "F1".
    QString label;

    friend bool operator==(const ShortcutSpec&, const ShortcutSpec&) = default;
    bool sameChord(const ShortcutSpec& other) const { return keyCode == other.keyCode && modifiers == other.modifiers; }

    // True when the key code is that of one of F1 to F20.
    bool isFunctionKey() const;

    static ShortcutSpec defaultCapture() { return {122, 0, QStringLiteral("F1")}; }
    static ShortcutSpec defaultPin() { return {120, 0, QStringLiteral("F2")}; }
};

} // namespace vorlith
