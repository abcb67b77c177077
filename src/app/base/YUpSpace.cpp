#include "app/base/YUpSpace.h"

namespace vorlith {

YUpSpace YUpSpace::ofScreens(const std::optional<Rect>& firstScreen)
{
    return YUpSpace(firstScreen ? firstScreen->maxY() : 0.0);
}

YUpSpace YUpSpace::ofView(double height)
{
    return YUpSpace(height);
}

Rect YUpSpace::toYDown(const Rect& yUp) const
{
    const Rect r = yUp.standardized();
    return Rect(r.origin.x, m_axis - r.maxY(), r.width(), r.height());
}

Rect YUpSpace::toYUp(const Rect& yDown) const
{
    // The mirror is its own inverse.
    return toYDown(yDown);
}

} // namespace vorlith
