#pragma once

#include "core/Geometry.h"

#include <optional>

namespace vorlith {

// A space whose y axis grows upward, mirrored onto Qt's y-down coordinates about one
// horizontal line. Formulas written for y-up frames (window frames and toasts measured from a
// screen's bottom, subviews laid out from a view's bottom-left corner) are computed there and
// converted here, in one place, instead of writing `h - y` through the view code.
class YUpSpace {
public:
    // The global screen space: the first screen's y-up frame starts at y 0, so a y-down point
    // on its bottom edge is y-up 0 and its top edge is y-up P (the first screen's height).
    // `firstScreen` is that screen's y-down frame; absent (no screens) means P = 0.
    [[nodiscard]] static YUpSpace ofScreens(const std::optional<Rect>& firstScreen);
    // The inside of a view `height` tall: y-up 0 is its bottom edge.
    [[nodiscard]] static YUpSpace ofView(double height);

    // P: the y-down coordinate that is y-up 0, and the y-up coordinate of the y-down 0 line
    // when the first screen starts there.
    double axis() const { return m_axis; }

    [[nodiscard]] Point toYDown(const Point& yUp) const { return {yUp.x, m_axis - yUp.y}; }
    [[nodiscard]] Point toYUp(const Point& yDown) const { return {yDown.x, m_axis - yDown.y}; }
    // A rectangle keeps its size; its y-up bottom edge becomes its y-down bottom edge.
    [[nodiscard]] Rect toYDown(const Rect& yUp) const;
    [[nodiscard]] Rect toYUp(const Rect& yDown) const;

private:
    explicit YUpSpace(double axis) : m_axis(axis) {}
    double m_axis = 0;
};

} // namespace vorlith
