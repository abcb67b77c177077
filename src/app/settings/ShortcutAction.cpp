#include "app/settings/ShortcutAction.h"

namespace vorlith {

QString rawValue(ShortcutAction action)
{
    return action == ShortcutAction::capture ? QStringLiteral("capture") : QStringLiteral("pin");
}

QString messageName(ShortcutAction action)
{
    return action == ShortcutAction::capture ? QStringLiteral("截图") : QStringLiteral("图片置顶");
}

} // namespace vorlith
