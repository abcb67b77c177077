#include "app/editor/TextEntryLayout.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace vorlith {

namespace {

double validScale(double scale)
{
    Q_ASSERT(std::isfinite(scale) && scale > 0);
    return std::isfinite(scale) && scale > 0 ? scale : 1;
}

// The origin on one axis: the text's own coordinate, but no further than `keep` from the
// area's far edge, and never before its near edge.
double pulledIn(double low, double high, double keep, double value)
{
    return std::min(std::max(low, high - keep), std::max(low, value));
}

} // namespace

Rect TextEntryLayout::area(const Rect& bounds, double scale)
{
    const double inset = std::min(std::min(bounds.width(), bounds.height()) * 0.25, edgeMargin / validScale(scale));
    return bounds.standardized().insetBy(inset, inset);
}

Point TextEntryLayout::origin(const Rect& area, Point textOrigin, double scale)
{
    const double keep = minimumVisible / validScale(scale);
    return {pulledIn(area.minX(), area.maxX(), keep, textOrigin.x),
            pulledIn(area.minY(), area.maxY(), keep, textOrigin.y)};
}

Point TextEntryLayout::wholeTextOrigin(const Rect& area, Point textOrigin, Size textBox, double scale)
{
    const double least = minimumVisible / validScale(scale);
    return {pulledIn(area.minX(), area.maxX(), std::max(least, textBox.width + textSlack), textOrigin.x),
            pulledIn(area.minY(), area.maxY(), std::max(least, textBox.height + textSlack), textOrigin.y)};
}

Size TextEntryLayout::size(const Rect& area, Point origin, Size textBox)
{
    return {std::min(std::max(area.maxX() - origin.x, 0.0), std::max(textBox.width + textSlack, minimumWidth)),
            std::min(std::max(area.maxY() - origin.y, 0.0), std::max(textBox.height + textSlack, minimumHeight))};
}

Size TextEntryLayout::avoidingToolbar(const Rect& frame, const Rect& toolbar, double scale)
{
    const double grow = edgeMargin / validScale(scale);
    const Rect obstacle = toolbar.standardized().insetBy(-grow, -grow);
    const Size current = frame.size;
    if (!frame.intersects(obstacle))
        return current;
    // Ending left of the toolbar, or above it.
    const Size candidates[] = {
        {std::min(obstacle.minX() - frame.origin.x, current.width), current.height},
        {current.width, std::min(obstacle.minY() - frame.origin.y, current.height)},
    };
    std::optional<Size> best;
    for (const Size& candidate : candidates) {
        if (!(candidate.width >= minimumSide && candidate.height >= minimumSide))
            continue;
        if (!best || candidate.width * candidate.height > best->width * best->height)
            best = candidate;
    }
    return best.value_or(current);
}

TextEntryLayout::Frame TextEntryLayout::layout(const Input& input)
{
    const Rect region = area(input.bounds, input.scale);
    const Point at = input.keepWholeText ? wholeTextOrigin(region, input.textOrigin, input.textBox, input.scale)
                                         : origin(region, input.textOrigin, input.scale);
    Rect frame(at, size(region, at, input.textBox));
    if (input.toolbar)
        frame.size = avoidingToolbar(frame, *input.toolbar, input.scale);
    const Size content{std::max(frame.size.width, input.textBox.width + textSlack),
                       std::max(frame.size.height, input.textBox.height + textSlack)};
    return {frame, content};
}

Size TextEntryLayout::initialSize(const Rect& bounds, Point at, const std::optional<Rect>& markBounds)
{
    const double wantedWidth = markBounds ? markBounds->width() : 260;
    const double wantedHeight = markBounds ? std::max(markBounds->height() + 30, 70.0) : 100;
    return {std::min(std::max(bounds.maxX() - at.x - edgeMargin, minimumSide), std::max(wantedWidth, minimumWidth)),
            std::min(std::max(bounds.maxY() - at.y - edgeMargin, minimumSide), wantedHeight)};
}

} // namespace vorlith
