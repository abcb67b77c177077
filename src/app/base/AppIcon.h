#pragma once

#include <QImage>

namespace vorlith {

// The application's own icon: a 128 × 128 PNG compiled into the program (settings window,
// About, the tray and the desktop entry show it). Null only if the resource is missing.
[[nodiscard]] QImage appIcon();

} // namespace vorlith
