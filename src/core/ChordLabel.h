#pragma once

#include <QString>
#include <QtGlobal>

namespace vorlith {

// A key chord as Linux users read it: the modifier words "Ctrl", "Super", "Alt", "Shift" in
// that order, each followed by "+", then the key's name: "Ctrl+Shift+Z", "Super+Alt+↑", "F1".
// `modifiers` is in the settings file's numbering (ShortcutSpec: 0x100 is the primary
// modifier, Ctrl here; 0x1000 Super; 0x800 Alt; 0x200 Shift); other bits are ignored. Every
// chord the user sees is labelled here: tool tips, menus, the settings window, stored labels.
[[nodiscard]] QString chordLabel(quint32 modifiers, const QString& keyName);

} // namespace vorlith
