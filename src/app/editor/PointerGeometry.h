#pragma once

#include "core/Annotation.h"
#include "core/CaptureGeometry.h"
#include "core/Geometry.h"

#include <optional>

namespace vorlith {

// The editor's pointer arithmetic, without widgets: which selection handle a point grabs, how
// a drawn mark follows the pointer, and what a changed mark needs repainted. Points and
// rectangles are document points, y down.
namespace pointerGeometry {

// A handle point grabs within this distance on each axis; an edge within this band.
inline constexpr double handleReach = 7;
inline constexpr double edgeBand = 6;
// Marks and mark handles are hit within these many view pixels (divided by the zoom).
inline constexpr double markTolerance = 6;
inline constexpr double markHandleReach = 7;
// A press becomes a drag once the pointer is this far from it; a pin moves from this far on.
inline constexpr double dragThreshold = 4;
inline constexpr double pinMoveThreshold = 3;
// A pen stroke's memory check runs whenever its point count reaches a multiple of this.
inline constexpr int penCheckInterval = 256;

// The handle of `selection` at p: the eight handle points first (in SelectionHandle order),
// then the edge bands, left, right, top, bottom; absent beyond the bands.
[[nodiscard]] std::optional<SelectionHandle> selectionHandleAt(const Rect& selection, const Point& p);

// p kept inside the rectangle (edges included).
[[nodiscard]] Point clampedInto(const Rect& rect, const Point& p);

// A mark being drawn after a drag to p (already clamped): a pen appends p unless it repeats
// its last point; every other kind moves its second point to p.
[[nodiscard]] Annotation extended(const Annotation& mark, const Point& p);

// A line or arrow with its first (index 0) or last point moved to p.
[[nodiscard]] Annotation withEndpoint(const Annotation& mark, int index, const Point& p);

// A pen stroke of this many points is due for its memory check.
[[nodiscard]] bool isPenCheckpoint(const Annotation& mark);

// Everything a mark can cover on screen: its ink (stroke, arrow head, text background) and,
// at `unit` document points per view pixel, its frame and handles.
[[nodiscard]] Rect markDamage(const Annotation& mark, double unit);

} // namespace pointerGeometry

} // namespace vorlith
