#pragma once

#include "core/Geometry.h"

#include <QtGlobal>

#include <array>
#include <optional>

namespace vorlith {

// Where an editor's floating toolbar stands relative to the selection. Every position is the
// toolbar's top-left origin, in the selection's own coordinates (y down).
//
// Placements: automatic (beside one side of the selection, kept while nothing changes),
// following (an automatic toolbar travels with a moved selection), manual (docked by the user
// at an offset from an anchor point of the selection) and temporary (summoned next to the
// pointer until the editor sends it back). The epoch counts placement changes; each summon
// takes its token from it, so the editor's return monitor can tell that its toolbar changed.
class ToolbarPlacementModel {
public:
    enum class Mode { automatic, manual };
    enum class Side { bottom, top, left, right };
    static constexpr std::array<Side, 4> allSides{Side::bottom, Side::top, Side::left, Side::right};
    // A gesture made on the selection.
    enum class GeometryGesture { move, resize };

    // The layout the caller supplies.
    struct Frame {
        Size viewportSize; // the area the toolbar must stay in
        Size reservedSize; // the room the toolbar needs, property strip included
        double mainWidth = 0; // the width of the toolbar's main row
        double topInset = 0;
        double bottomInset = 0;
        double gap = 0; // between the selection and the toolbar

        Frame() = default;
        // An absent main width is the reserved width.
        Frame(Size viewportSize, Size reservedSize, std::optional<double> mainWidth, double topInset,
              double bottomInset, double gap);

        friend bool operator==(const Frame&, const Frame&) = default;
    };

    // The lasting placement. Automatic mode uses the side; manual mode always carries an
    // anchor (each coordinate 0, 0.5 or 1) and an offset, and no side.
    struct Base {
        Mode mode = Mode::automatic;
        std::optional<Side> side;
        std::optional<Point> anchor;
        std::optional<Point> offset;

        friend bool operator==(const Base&, const Base&) = default;
    };

    // A summoned toolbar.
    struct Temporary {
        Point position;           // its origin
        Point origin;             // where the user summoned it
        bool returnReady = false; // the pointer has since been over the toolbar
        quint64 token = 0;

        friend bool operator==(const Temporary&, const Temporary&) = default;
    };

    ToolbarPlacementModel() = default;

    const Base& base() const { return m_base; }
    const std::optional<Temporary>& temporary() const { return m_temporary; }
    quint64 epoch() const { return m_epoch; }
    bool isGesturing() const { return m_gesture.has_value(); }
    // The temporary toolbar's token; absent without one.
    std::optional<quint64> token() const;
    // The token is present, a temporary toolbar exists, and it holds that token.
    bool isCurrent(std::optional<quint64> token) const;

    // Sets the temporary toolbar's return readiness; nothing without one.
    void setReturnReady(bool ready);
    // Sends a summoned toolbar back.
    void restoreTemporary();
    // The toolbar's origin now; refreshes the automatic side and the remembered layout.
    Point resolve(const Rect& selection, const Frame& frame);

    // Clamps a point into the frame: x within [8, maxX], y within [topInset, maxY].
    static Point bounded(const Point& point, const Frame& frame);
    // The origin beside one side of the selection; only the coordinate along it is clamped.
    static Point position(Side side, const Rect& selection, const Frame& frame);
    // The first side (preferred one first) that fits unclamped, else the least overlapping.
    static Side chooseSide(const Rect& selection, const Frame& frame, std::optional<Side> preferred);

    // Summons the toolbar next to the pointer, or to an explicit position. Refused (false)
    // during a gesture.
    bool summon(const Point& at, const Rect& selection, const Frame& frame);
    bool summon(const Point& position, const Point& origin, const Rect& selection, const Frame& frame);

    // Start of a move or resize of the selection; drops a summoned toolbar. False during a gesture.
    bool beginGeometry(GeometryGesture kind, const Rect& selection, const Frame& frame);
    // Start of a drag of the toolbar itself. False during a gesture.
    bool beginDock(const Rect& selection, const Frame& frame);
    // A dock drag moved by delta since it began; the first 3 points do not count.
    bool dragDock(const Point& delta, const Rect& selection, const Frame& frame);
    // Ends any gesture: a moved dock becomes a manual placement; a move or resize re-chooses
    // the automatic side.
    void commit(const Rect& selection, const Frame& frame);
    // Puts back the placement from before the gesture; answers the selection saved at its
    // start, absent without a gesture.
    std::optional<Rect> cancel();

private:
    enum class GestureKind { move, resize, dock };
    struct Gesture {
        GestureKind kind = GestureKind::move;
        Rect selection;
        Point startPosition;
        Base savedBase;
        std::optional<Temporary> savedTemporary;
        std::optional<Rect> savedLastSelection;
        std::optional<Frame> savedLastFrame;
        std::optional<Point> preview;
    };

    void advanceEpoch();
    void beginGesture(GestureKind kind, const Rect& selection, const Point& start);
    std::optional<Point> resolveDuringGesture(const Rect& selection, const Frame& frame) const;
    Point resolveAutomatic(const Rect& selection, const Frame& frame);
    Point resolveManual(const Rect& selection, const Frame& frame) const;
    void placeTemporary(const Point& position, const Point& origin, const Rect& selection, const Frame& frame);
    static double anchorFraction(double toolbarMin, double toolbarLength, double selectionMin,
                                 double selectionLength);

    Base m_base;
    std::optional<Temporary> m_temporary;
    quint64 m_epoch = 0;
    std::optional<Gesture> m_gesture;
    std::optional<Rect> m_lastSelection;
    std::optional<Frame> m_lastFrame;
};

} // namespace vorlith
