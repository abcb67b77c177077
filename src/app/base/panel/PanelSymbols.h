#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRectF>

namespace vorlith::panelSymbols {

// The pop-up's up-and-down chevron, an open path to stroke (1.5 wide, round caps) inside
// the 14 × 14 `box`.
[[nodiscard]] QPainterPath chevronUpDown(const QRectF& box);

// A folder outline in `ink`, 16 × 16 points at device pixel ratio 2, for a button's leading
// image.
[[nodiscard]] QImage folder();

} // namespace vorlith::panelSymbols
