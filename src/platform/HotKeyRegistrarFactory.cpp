#include "platform/HotKeyRegistrarFactory.h"

#include "platform/CapturePlatformFactory.h"
#include "platform/UnavailableHotKeyRegistrar.h"
#include "platform/x11/X11HotKeyRegistrar.h"

#include <QGuiApplication>

namespace vorlith::HotKeyRegistrarFactory {

std::shared_ptr<HotKeyRegistering> make(const QProcessEnvironment& environment, const QString& platformName)
{
    if (!CapturePlatformFactory::isWaylandSession(environment, platformName)) {
        if (std::shared_ptr<HotKeyRegistering> x11 = X11HotKeyRegistrar::open())
            return x11;
    }
    return std::make_shared<UnavailableHotKeyRegistrar>();
}

std::shared_ptr<HotKeyRegistering> make()
{
    return make(QProcessEnvironment::systemEnvironment(), QGuiApplication::platformName());
}

} // namespace vorlith::HotKeyRegistrarFactory
