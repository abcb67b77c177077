#pragma once

#include <QString>

#include <array>
#include <map>

namespace vorlith {

struct ShortcutSpec;

// The two hot-key actions. Every loop over actions runs in this order.
enum class ShortcutAction { capture, pin };

inline constexpr std::array<ShortcutAction, 2> allShortcutActions{ShortcutAction::capture, ShortcutAction::pin};

// "capture" or "pin".
QString rawValue(ShortcutAction action);
// The action's name in messages: "截图" or "图片置顶".
QString messageName(ShortcutAction action);

// A chord for each action that has one, in action order.
using ShortcutBindings = std::map<ShortcutAction, ShortcutSpec>;

} // namespace vorlith
