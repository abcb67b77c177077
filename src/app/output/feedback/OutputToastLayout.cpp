#include "app/output/feedback/OutputToastLayout.h"

#include <algorithm>

namespace vorlith::OutputToastLayout {

double bodyWidth(const Content& content, double visibleWidth)
{
    // A failure always shows its close button; without an action button it still needs the
    // close button's room (26), or the cross would sit on the end of the text.
    const double extra = content.hasButton ? (content.failed ? 144 : 118) : (content.failed ? 94 : 68);
    double width = std::max(content.textWidth + extra, minimumBodyWidth);
    width = std::min(width, visibleWidth - 2 * frameMargin);
    return std::max(width, 0.0);
}

double bodyHeightFor(const Content& content)
{
    return bodyHeight + std::max(content.lines - 1, 0) * content.lineHeight;
}

Rect bodyFrame(const Content& content, const Rect& visibleFrame, double verticalOffset, const YUpSpace& space)
{
    // Worked in y-up: V's top is its maximum y, and "lower" means a smaller y.
    const Rect v = space.toYUp(visibleFrame);
    const Rect inner = v.insetBy(frameMargin, frameMargin);
    const double width = bodyWidth(content, v.width());
    const double height = std::max(std::min(inner.height(), bodyHeightFor(content)), 0.0);

    double bottom = v.maxY() - 0.3 * v.height() - height / 2;
    bottom = std::max(bottom, inner.minY());
    bottom = std::min(bottom, inner.maxY() - height);
    bottom -= verticalOffset;
    bottom = std::max(bottom, v.minY() + frameMargin);

    const double left = inner.midX() - width / 2;
    return space.toYDown(Rect(left, bottom, width, height));
}

Subviews subviews(double bodyWidth, double panelHeight, bool hasButton, bool failed)
{
    const double w = bodyWidth;
    const double labelWidth = hasButton ? (failed ? w - 131 : w - 105) : (failed ? w - 80 : w - 54);
    const double buttonX = failed ? w + shadowMargin - 83 : w + shadowMargin - 57;
    // Designed from the panel's bottom-left corner for one line; further lines add `extra`.
    const double extra = std::max(panelHeight - (bodyHeight + 2 * shadowMargin), 0.0);
    const YUpSpace view = YUpSpace::ofView(panelHeight);
    return {
        view.toYDown(Rect(37, 35 + extra, 18, 18)),
        view.toYDown(Rect(65, 36, std::max(labelWidth, 0.0), 17 + extra)),
        view.toYDown(Rect(buttonX, 31 + extra / 2, 48, 26)),
        view.toYDown(Rect(w - 5, 34 + extra, 20, 20)),
    };
}

} // namespace vorlith::OutputToastLayout
