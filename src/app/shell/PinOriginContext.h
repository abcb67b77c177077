#pragma once

#include "app/base/ScreenLookup.h"
#include "core/Geometry.h"

#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace vorlith {

class ApplicationFocus;
class CapturePlatform;

// What started a pin request.
enum class PinTrigger { shortcut, menu, service, openImage };

// What recording a request's origin reads: the front application, the pointer, the screens.
struct PinOriginEnvironment {
    std::shared_ptr<ApplicationFocus> focus; // absent: no front application is known
    std::function<Point()> pointer;          // global logical position, y down
    ScreenLookup screens;

    // The running system's: QCursor::pos() and Qt's screens numbered by the capture platform.
    [[nodiscard]] static PinOriginEnvironment system(std::shared_ptr<ApplicationFocus> focus,
                                                     std::shared_ptr<CapturePlatform> platform);
};

// Where and how a pin request started. Its id is also the id of the request's toast and of
// its file-access entry.
struct PinOriginContext {
    QUuid id;
    PinTrigger trigger = PinTrigger::shortcut;
    std::optional<qint32> frontPID;
    // The front application's identity: on X11 the class part of its window's WM_CLASS.
    std::optional<QString> frontBundleID;
    Point mouseLocation;               // global logical position, y down
    std::optional<quint32> displayID;  // travels with the request; nothing reads it

    // A new id, the front application, the pointer and the display under it (else the
    // first screen's; absent without screens or without a number). Main thread.
    [[nodiscard]] static PinOriginContext capture(PinTrigger trigger, const PinOriginEnvironment& environment);
};

} // namespace vorlith
