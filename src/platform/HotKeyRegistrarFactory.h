#pragma once

#include "platform/HotKeyRegistering.h"

#include <QProcessEnvironment>
#include <QString>

#include <memory>

namespace vorlith {

// Chooses the hot-key back end once: key grabs on the X server in an X11 session, one that
// refuses every chord where no global grab is possible (Wayland, no X server).
namespace HotKeyRegistrarFactory {

[[nodiscard]] std::shared_ptr<HotKeyRegistering> make(const QProcessEnvironment& environment, const QString& platformName);
// The back end for this process's own session.
[[nodiscard]] std::shared_ptr<HotKeyRegistering> make();

} // namespace HotKeyRegistrarFactory

} // namespace vorlith
