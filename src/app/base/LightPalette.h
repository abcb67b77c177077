#pragma once

#include <QPalette>

class QWidget;

namespace vorlith {

// The one palette of every window the interface draws light (the editor's chrome, the toasts,
// the settings and update windows, About, alerts): made from InterfaceColors, so Qt's own
// controls inside them (fields, buttons, combo boxes, scroll bars, tool tips) stay light and
// readable whatever palette the desktop theme gives the application.
[[nodiscard]] QPalette lightPalette();

// Gives `window` and its children the light palette, and Qt's tool tips with it (they are
// windows of their own and take a palette of their own).
void applyLightPalette(QWidget& window);

} // namespace vorlith
