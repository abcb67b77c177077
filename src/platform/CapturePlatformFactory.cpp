#include "platform/CapturePlatformFactory.h"

#include "platform/UnavailableCapturePlatform.h"
#include "platform/x11/X11CapturePlatform.h"

#include <QGuiApplication>

namespace vorlith::CapturePlatformFactory {

bool isWaylandSession(const QProcessEnvironment& environment, const QString& platformName)
{
    return !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
           environment.value(QStringLiteral("XDG_SESSION_TYPE")).compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0 ||
           platformName != QLatin1String("xcb");
}

std::shared_ptr<CapturePlatform> make(const QProcessEnvironment& environment, const QString& platformName)
{
    if (isWaylandSession(environment, platformName))
        return std::make_shared<UnavailableCapturePlatform>();
    return std::make_shared<X11CapturePlatform>();
}

std::shared_ptr<CapturePlatform> make()
{
    return make(QProcessEnvironment::systemEnvironment(), QGuiApplication::platformName());
}

} // namespace vorlith::CapturePlatformFactory
