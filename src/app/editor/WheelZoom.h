#pragma once

#include <QPoint>

#include <optional>

namespace vorlith {

// The zoom factor of one wheel event, shared by a pin and its editor. Qt counts 120 per wheel
// notch in `angleDelta` and gives `pixelDelta` only for precise devices (touchpads): a notch
// zooms by e^(1/20), a pixel delta d by e^(d/150), so a touchpad's fractions of a notch
// multiply up to the notch's factor. Absent when the event does not zoom (no vertical delta).
namespace wheelZoom {

[[nodiscard]] std::optional<double> factor(const QPoint& pixelDelta, const QPoint& angleDelta);

} // namespace wheelZoom
} // namespace vorlith
