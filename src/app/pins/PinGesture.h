#pragma once

#include "core/CaptureGeometry.h"
#include "core/DocumentViewport.h"
#include "core/Geometry.h"

#include <optional>

namespace vorlith {

// The arithmetic of moving, resizing and zooming a pin, in Qt's global coordinates (y down).
// Every drag step starts again from the viewport at the press, so errors never accumulate.
namespace pinGesture {

inline constexpr double maximumScale = 4;

// The smallest scale a document may be shown at by the user's hand: 48 points wide or 32
// high, never more than 1 (a tiny image is not shrunk below 100 %).
[[nodiscard]] double minimumScale(const Rect& documentRect);

// The scale a zoom or resize may reach: at least min(m, from) and at most 4. A pin fitted below
// m (a long, thin image) is never pushed up to m by a request to make it smaller.
[[nodiscard]] double clampedScale(double wanted, const Rect& documentRect, double from);

// The handle across the image from `handle`.
[[nodiscard]] SelectionHandle opposite(SelectionHandle handle);

// The viewport after the pointer moved by (dx, dy) from the press: the image follows it, or,
// with a handle, it is scaled about the opposite handle by how far the dragged one went along
// its axis (corners: along the diagonal). Absent when no viewport can be formed.
[[nodiscard]] std::optional<DocumentViewport> dragged(const DocumentViewport& atPress,
                                                      const std::optional<SelectionHandle>& handle, double dx,
                                                      double dy, const Rect& currentDocumentRect);

// The viewport zoomed by factor about a global point; absent for a factor that is not a finite
// number above 0, or when nothing can be formed.
[[nodiscard]] std::optional<DocumentViewport> zoomed(const DocumentViewport& viewport, double factor,
                                                     const Point& anchor);

} // namespace pinGesture
} // namespace vorlith
