#pragma once

#include "core/ShortcutSpec.h"

#include <QString>

#include <optional>

namespace vorlith {

// One key press as the shortcut recorder reads it, already in the settings file's terms.
struct RecorderKeyPress {
    // The key's chord code; absent for a key the settings file has no code for (Print,
    // Insert, every modifier key).
    std::optional<quint32> keyCode;
    // Modifier bits held (ShortcutSpec numbering); the caller keeps only Ctrl, Super, Alt and
    // Shift.
    quint32 modifiers = 0;
    bool isAutoRepeat = false;
    // What the layout types on the key without modifiers; empty when nothing.
    QString characters;
};

// What the recorder does with a press while it records.
struct RecorderKeyOutcome {
    enum class Kind {
        ignore, // recording goes on
        cancel, // Escape: back to idle, the chord kept
        leave,  // Tab: back to idle, the keyboard to the next control
        accept, // `spec` is the new chord
    };
    Kind kind = Kind::ignore;
    ShortcutSpec spec;

    friend bool operator==(const RecorderKeyOutcome&, const RecorderKeyOutcome&) = default;
};

// The recorder's whole key rule, without widgets: repeats and keys without a code are
// ignored; Escape cancels and Tab leaves whatever modifiers are held; a bare Return or Enter
// waits; any other key is named (the fixed names, else its character in upper case, else
// "按键 " and its code) and labelled with chordLabel.
[[nodiscard]] RecorderKeyOutcome decideRecorderKey(const RecorderKeyPress& press);

// The fixed key names: F1–F20, "空格", "⌫", "↩", "⌤" and the four arrows; empty for any other
// code.
[[nodiscard]] QString fixedKeyName(quint32 keyCode);

} // namespace vorlith
