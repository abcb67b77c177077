#pragma once

#include "app/base/ScreenLookup.h"
#include "core/DocumentViewport.h"
#include "core/Geometry.h"

#include <QRect>

#include <array>
#include <optional>
#include <vector>

namespace vorlith {

// Where a pin's windows stand, in Qt's global coordinates (y down). The content window's
// top-left corner is the viewport's screen origin; every satellite is placed from that frame
// F and the visible frame V of a screen. Pure arithmetic, so the numbers can be checked
// without windows.
namespace pinGeometry {

// The ring around the image: the view inset by this much on every side is the image.
inline constexpr double ringMargin = 44;
inline constexpr Size stripSize{135, 39};
// The eight resize panels: 24-point squares on the corners, 12-point bands along the edges.
inline constexpr double cornerReach = 12;
inline constexpr double edgeReach = 6;

// A new pin's first placement: never enlarged, 8 points clear of the visible frame, centred
// on `near` (else on V's centre) and pulled inside V.
struct Fit {
    double scale = 1;
    Rect screenRect; // the content window's frame
};
[[nodiscard]] Fit fit(const Size& selection, const Rect& visibleFrame, const std::optional<Point>& near);
[[nodiscard]] std::optional<DocumentViewport> fittedViewport(const Rect& selection, const Rect& visibleFrame,
                                                             const std::optional<Point>& near);

// The control strip: inside the image's top-right corner (7 points in), kept 6 points inside V.
[[nodiscard]] Rect stripFrame(const Rect& content, const Rect& visibleFrame, const Size& strip = stripSize);
// The zoom badge: 8 points inside the image's top-left corner.
[[nodiscard]] Rect badgeFrame(const Rect& content, const Size& badge);
// The ring's window: F grown by the ring margin.
[[nodiscard]] Rect ringFrame(const Rect& content);
// The resize panels: top-left, top-right, bottom-left, bottom-right corners, then the top,
// bottom, left and right edges (edges of a small image have zero length).
[[nodiscard]] std::array<Rect, 8> resizePanelFrames(const Rect& content);

// The percentage the badge shows for a scale.
[[nodiscard]] int percentage(double scale);

// The toolbar placement's selection: the content frame measured from its screen's top-left.
[[nodiscard]] Rect toolbarSelection(const Rect& content, const Rect& screenFrame);
// The chrome panel's frame from the placement's top-left position p in that space.
[[nodiscard]] Rect chromeFrame(const Rect& screenFrame, const Point& placement, const Size& toolbar);

// The screen whose visible frame overlaps the content most; ties (no overlap at all among
// them) keep the earlier screen, so a pin off every screen goes to the first. Absent without
// screens.
[[nodiscard]] std::optional<DisplayScreen> mostOverlapping(const Rect& content, const std::vector<DisplayScreen>& screens);
// The content frame's top-left corner after keeping at least 32 points of its width inside
// V and its top edge inside V, at least 32 points above V's bottom.
[[nodiscard]] Point constrainedOrigin(const Rect& content, const Rect& visibleFrame);

// Whole-pixel window geometry: x = round(minX), width = round(maxX) − x (and so for y), so two
// windows whose edges meet in points still meet in pixels at any scale.
[[nodiscard]] QRect windowRect(const Rect& frame);

} // namespace pinGeometry
} // namespace vorlith
