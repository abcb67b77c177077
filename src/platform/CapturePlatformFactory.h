#pragma once

#include "platform/CapturePlatform.h"

#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace vorlith {

// Chooses the capture platform once, for the entry point and the tests: the X11 one in an X11
// session, one that refuses every capture in a session whose screen cannot be read.
namespace CapturePlatformFactory {

// Whether the session is one whose screen this program cannot read: Wayland, or a Qt platform
// other than xcb.
[[nodiscard]] bool isWaylandSession(const QProcessEnvironment& environment, const QString& platformName);

[[nodiscard]] std::shared_ptr<CapturePlatform> make(const QProcessEnvironment& environment, const QString& platformName);
// The platform for this process's own session.
[[nodiscard]] std::shared_ptr<CapturePlatform> make();

} // namespace CapturePlatformFactory

} // namespace vorlith
