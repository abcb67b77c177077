#pragma once

#include "core/Annotation.h"
#include "core/Geometry.h"

#include <QString>

#include <optional>
#include <vector>

namespace vorlith {

// The editor view's layout and hit arithmetic, without widgets: where the size label, the
// guidance pill, the feedback label and the discovery panel go, the handles of a mark, and
// the neighbourhood of a summoned toolbar. Every rectangle is y-down; `bounds` is the view's
// own rectangle in document points.
namespace editorLayout {

inline constexpr double sizeLabelHeight = 21;
inline constexpr double sizeLabelPadding = 6;   // left of the text, on each side
inline constexpr double selectionHandleSize = 7; // the selection's drawn handle squares
inline constexpr double discoveryPanelHeight = 24;

// Frame width over bounds width, each floored at 0.001: a pin shows its document magnified.
[[nodiscard]] double viewScale(double frameWidth, double boundsWidth);

// "W × H" of a pixel rectangle, each extent with its fraction dropped.
[[nodiscard]] QString sizeLabelText(const Rect& pixels);

// The six places the size label tries, in order: above, below, inside at the top, left,
// right, top centre of the view.
[[nodiscard]] std::vector<Rect> sizeLabelCandidates(const Rect& selection, double width, const Rect& bounds);
// The first candidate inside the bounds inset by 4 that meets neither the pill, nor the
// toolbar (each when shown), nor the 10 × 10 squares around the selection's handles; the top
// centre when none does.
[[nodiscard]] Rect sizeLabelFrame(const Rect& selection, double width, const Rect& bounds,
                                  const std::optional<Rect>& pill, const std::optional<Rect>& toolbar);

// Squares of `side` centred on the eight handle points of a rectangle.
[[nodiscard]] std::vector<Rect> handleSquares(const Rect& rect, double side);

// A mark's dashed frame: its bounds grown by 3 units.
[[nodiscard]] Rect markFrame(const Annotation& mark, double unit);
// The handle points of a mark: both ends of a line or arrow (the first point twice for one
// point, the origin twice for none), the eight handles of the frame for every other kind.
[[nodiscard]] std::vector<Point> markHandles(const Annotation& mark, double unit);
// Radius of a mark handle's circle, in units.
[[nodiscard]] double markHandleRadius(Annotation::Kind kind);

// The guidance pill's frame: the first of the candidate rows (48, the bottom, then over and
// under each obstacle), each tried centred, left and right, that lies inside the bounds inset
// by 8 and meets no obstacle. Absent: the pill hides.
[[nodiscard]] std::optional<Rect> hintFrame(const Size& pill, const Rect& bounds, const std::vector<Rect>& obstacles);
// What the pill avoids, in order: the selection's handles (16 × 16), the toolbar and the
// text box, each grown by 6.
[[nodiscard]] std::vector<Rect> hintObstacles(const std::optional<Rect>& selection, const std::optional<Rect>& toolbar,
                                              const std::optional<Rect>& textBox);

// Whether a pointer counts as near a summoned toolbar standing in `toolbar` that was summoned
// at `origin`: within 80 of the toolbar or of the click, or within 24 of the corridor between
// the click and the nearest point of the toolbar.
[[nodiscard]] bool nearTemporaryToolbar(const Point& pointer, const Rect& toolbar, const Point& origin);
// The point of a rectangle nearest to p.
[[nodiscard]] Point nearestPoint(const Rect& rect, const Point& p);

// The feedback label, 300 × 48 above the toolbar, kept between y = 8 and bounds.height − 60.
[[nodiscard]] Rect feedbackFrame(const Rect& bounds, const Rect& toolbar);
// The cancel and retry buttons beside it.
[[nodiscard]] Rect outputButtonFrame(const Rect& bounds, const Rect& toolbar, const Rect& feedback);

// The discovery panel in global coordinates: under the toolbar when it fits 8 above the
// bottom of the screen's visible area, else over it; never nearer than 8 to its sides.
[[nodiscard]] Rect discoveryPanelFrame(const Rect& toolbar, const Rect& visibleFrame, double width);

} // namespace editorLayout

} // namespace vorlith
