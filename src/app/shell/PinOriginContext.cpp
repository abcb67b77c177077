#include "app/shell/PinOriginContext.h"

#include "platform/ApplicationFocus.h"

#include <QCursor>

namespace vorlith {

PinOriginEnvironment PinOriginEnvironment::system(std::shared_ptr<ApplicationFocus> focus,
                                                  std::shared_ptr<CapturePlatform> platform)
{
    return PinOriginEnvironment{
        std::move(focus),
        [] {
            const QPoint position = QCursor::pos();
            return Point{double(position.x()), double(position.y())};
        },
        ScreenLookup::system(std::move(platform)),
    };
}

PinOriginContext PinOriginContext::capture(PinTrigger trigger, const PinOriginEnvironment& environment)
{
    PinOriginContext origin;
    origin.id = QUuid::createUuid();
    origin.trigger = trigger;
    if (environment.focus) {
        if (const std::optional<FrontApplication> front = environment.focus->frontApplication()) {
            origin.frontPID = front->pid;
            origin.frontBundleID = front->windowClass;
        }
    }
    origin.mouseLocation = environment.pointer ? environment.pointer() : Point{};
    std::optional<DisplayScreen> screen = environment.screens.screenAt(origin.mouseLocation);
    if (!screen) {
        const std::vector<DisplayScreen> all = environment.screens.screens();
        if (!all.empty())
            screen = all.front();
    }
    if (screen)
        origin.displayID = screen->displayNumber;
    return origin;
}

} // namespace vorlith
