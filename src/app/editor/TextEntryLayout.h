#pragma once

#include "core/Geometry.h"

#include <optional>

namespace vorlith {

// Where the floating text editor stands while a text is typed. Pure arithmetic on plain
// values: every rectangle is in the editor view's bounds, that is in document points, and
// `scale` is the view's document-to-view factor (1 on a capture overlay, the zoom in a pin).
// Lengths written as n / scale stay n view pixels on screen at any zoom.
struct TextEntryLayout {
    TextEntryLayout() = delete;

    // A text is pulled in from the edges so that this much of it stays in view (/ scale).
    static constexpr double minimumVisible = 40;
    // The editor keeps this far from the view's edges and from the toolbar (/ scale).
    static constexpr double edgeMargin = 8;
    // The editor's least size while its text is small, and the room around the text box.
    static constexpr double minimumWidth = 180;
    static constexpr double minimumHeight = 70;
    static constexpr double textSlack = 12;
    // Shrinking the editor to clear the toolbar must leave at least this much on each side.
    static constexpr double minimumSide = 40;

    struct Input {
        Rect bounds;        // the view's bounds
        double scale = 1;   // document-to-view factor, finite and above 0
        Point textOrigin;   // where the text was begun (an edited mark's top-left corner)
        Size textBox;       // the text box of the current text (its size at any origin)
        // The toolbar's frame in bounds coordinates while it is visible in a window; absent
        // otherwise (then nothing is avoided).
        std::optional<Rect> toolbar;
        // Pull the text in as it grows, so that its whole box (with the slack) stays inside
        // the area wherever it fits, not only 40 / scale of it. A pin's view is its image,
        // often small: the editor cannot reach past it, and a text begun near its right or
        // bottom edge would otherwise scroll its beginning out of sight while it is typed.
        bool keepWholeText = false;
    };

    struct Frame {
        Rect frame;       // the editor's visible frame; its origin is where the text box starts
        Size contentSize; // the text area inside it, at least as large as the frame
    };

    // The whole layout: area, origin, size, toolbar avoidance, content size.
    [[nodiscard]] static Frame layout(const Input& input);

    // The region the editor stays in: the bounds inset by min(shorter side × 0.25, 8 / scale).
    [[nodiscard]] static Rect area(const Rect& bounds, double scale);
    // The text origin pulled in so that at least 40 / scale points of the text stay in the area.
    [[nodiscard]] static Point origin(const Rect& area, Point textOrigin, double scale);
    // The text origin pulled in so that the whole text box and its slack stay in the area, or
    // at least 40 / scale points of it where that is more; never before the area's near edges.
    [[nodiscard]] static Point wholeTextOrigin(const Rect& area, Point textOrigin, Size textBox, double scale);
    // The frame size from the origin to the area's far edges, at most the text box with its
    // slack (and never less than 180 × 70 while the area allows).
    [[nodiscard]] static Size size(const Rect& area, Point origin, Size textBox);
    // The frame shortened to end left of or above the toolbar (grown by 8 / scale), whichever
    // keeps more area with both sides at least 40; unchanged when it does not meet the toolbar
    // or neither candidate is large enough.
    [[nodiscard]] static Size avoidingToolbar(const Rect& frame, const Rect& toolbar, double scale);

    // The size of the editor when a text is begun at `at`: for a new text (no mark) up to
    // 260 × 100, for an existing mark its box width and its height + 30 (at least 70).
    [[nodiscard]] static Size initialSize(const Rect& bounds, Point at, const std::optional<Rect>& markBounds);
};

} // namespace vorlith
