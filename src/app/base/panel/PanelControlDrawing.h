#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace vorlith::panelControlDrawing {

// The panel controls draw their title and image at this opacity while disabled.
inline constexpr double disabledOpacity = 0.4;

// The secondary look shared by the secondary button and the pop-up: a rounded rectangle
// (radius 6) on `rect` inset by 0.5, filled `hover` when highlighted (pressed) else
// `panelBody`, outlined 1 wide in `groupBorder`.
void background(QPainter& painter, const QRectF& rect, bool highlighted);

// The keyboard-focus ring: 2 wide, `focus` at 50 %, inside `bounds`, on a rounded rectangle of
// the control's own corner radius.
void focusRing(QPainter& painter, const QRectF& bounds, double radius);

// `ink`, at full alpha when enabled, at 40 % when disabled.
[[nodiscard]] QColor titleColor(bool enabled);

} // namespace vorlith::panelControlDrawing
