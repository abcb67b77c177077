#pragma once

#include "app/base/YUpSpace.h"
#include "core/Geometry.h"

namespace vorlith {

// The arithmetic of a toast panel: how wide its body is, where it sits on a screen, and where
// its subviews go. The placement is written as it was designed, for a screen space whose y
// grows upward (the body's bottom edge measured from the visible frame's top), and converted
// to Qt's y-down coordinates by YUpSpace.
namespace OutputToastLayout {

constexpr double shadowMargin = 24; // the panel is the body grown by this on every side
constexpr double bodyHeight = 40;
constexpr double frameMargin = 8;   // to the visible frame's edges
constexpr double cornerRadius = 10;
constexpr double textPixelSize = 12;
constexpr double buttonPixelSize = 11;
constexpr double minimumBodyWidth = 150;

struct Content {
    double textWidth = 0; // of the widest line
    bool hasButton = false;
    bool failed = false;
    int lines = 1;
    double lineHeight = 17; // from one line's top to the next's
};

// 40 for one line; every further line adds its height.
[[nodiscard]] double bodyHeightFor(const Content& content);

// Text width + 144 (a button on a failure), + 118 (a button), + 94 (a failure's close button
// alone), + 68 (nothing); at least 150, at most the visible frame's width - 16, never below 0.
[[nodiscard]] double bodyWidth(const Content& content, double visibleWidth);

// The body in global y-down coordinates: centred on the visible frame, its centre 30 % of the
// frame's height below the top, kept 8 inside the frame, then lowered by `verticalOffset` but
// never below the frame's bottom + 8. `space` is the global screen space.
[[nodiscard]] Rect bodyFrame(const Content& content, const Rect& visibleFrame, double verticalOffset,
                             const YUpSpace& space);

[[nodiscard]] inline Rect panelFrame(const Rect& body)
{
    return body.insetBy(-shadowMargin, -shadowMargin);
}

// Subview frames inside a panel of the given body width and panel height, y down. In a panel
// taller than one line's, the label grows downward from the first line, the symbol and the
// close button stay beside the first line and the button is centred on the body.
struct Subviews {
    Rect symbol; // the spinner takes the same frame
    Rect label;
    Rect button;
    Rect closeButton;
};
[[nodiscard]] Subviews subviews(double bodyWidth, double panelHeight, bool hasButton, bool failed);

} // namespace OutputToastLayout

} // namespace vorlith
