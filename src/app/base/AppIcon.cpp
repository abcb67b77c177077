#include "app/base/AppIcon.h"

#include <QFile>

// Resources of a static library are registered by hand, outside any namespace.
static void registerAppIconResource()
{
    Q_INIT_RESOURCE(AppIcon);
}

namespace vorlith {

QImage appIcon()
{
    static const QImage icon = [] {
        registerAppIconResource();
        return QImage(QStringLiteral(":/vorlith/app-icon.png"));
    }();
    return icon;
}

} // namespace vorlith
