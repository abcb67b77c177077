#pragma once

#include "core/Geometry.h"

#include <array>
#include <optional>

namespace vorlith {

// One frozen image in two units: logical points (selections and marks) and pixels (the
// backing bitmap). Clamps points and rectangles into the image and converts point
// rectangles to the pixel rectangles that output crops.
struct CaptureGeometry {
    Size size;      // logical points
    Size pixelSize; // pixels

    friend bool operator==(const CaptureGeometry&, const CaptureGeometry&) = default;

    [[nodiscard]] Rect bounds() const { return Rect(0, 0, size.width, size.height); }
    [[nodiscard]] Point clamped(const Point& p) const;
    [[nodiscard]] Rect selection(const Point& from, const Point& to) const;
    [[nodiscard]] Rect moving(const Rect& rect, const Size& delta) const;
    std::optional<Rect> pixels(const Rect& rect) const;
    // How far (relative) a scaled edge may miss a whole pixel and still count as on it:
    // far above double rounding, far below any real fraction of a pixel.
    static constexpr double pixelEdgeTolerance = 1e-9;
    std::optional<Rect> localRect(const Rect& globalTopLeft, const Point& displayOrigin) const;
};

// The eight resize handles of a selection or mark box, in hit-testing order.
enum class SelectionHandle { topLeft, top, topRight, right, bottomRight, bottom, bottomLeft, left };

inline constexpr std::array<SelectionHandle, 8> allSelectionHandles{
    SelectionHandle::topLeft,     SelectionHandle::top,    SelectionHandle::topRight,   SelectionHandle::right,
    SelectionHandle::bottomRight, SelectionHandle::bottom, SelectionHandle::bottomLeft, SelectionHandle::left,
};

Point handlePoint(SelectionHandle handle, const Rect& rect);
// The box after dragging this handle of rect to point, kept inside the image.
Rect resizing(SelectionHandle handle, const Rect& rect, const Point& point, const CaptureGeometry& geometry);

} // namespace vorlith
