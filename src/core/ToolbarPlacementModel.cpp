#include "core/ToolbarPlacementModel.h"

#include <algorithm>
#include <cmath>

namespace vorlith {

namespace {

// The horizontal margin to the viewport's edges; the vertical margins are the frame's insets.
constexpr double kSideMargin = 8;
// Distance between the pointer and a summoned toolbar.
constexpr double kSummonOffset = 14;
// A dock drag shorter than this is still a press on the toolbar.
constexpr double kDockDragThreshold = 3;

double maxX(const ToolbarPlacementModel::Frame& f)
{
    return std::max(f.viewportSize.width - f.reservedSize.width - kSideMargin, kSideMargin);
}

double maxY(const ToolbarPlacementModel::Frame& f)
{
    return std::max(f.viewportSize.height - f.reservedSize.height - f.bottomInset, f.topInset);
}

double overlapArea(const Rect& a, const Rect& b)
{
    const std::optional<Rect> overlap = a.standardized().intersected(b.standardized());
    return overlap ? overlap->width() * overlap->height() : 0;
}

} // namespace

ToolbarPlacementModel::Frame::Frame(Size viewportSize, Size reservedSize, std::optional<double> mainWidth,
                                    double topInset, double bottomInset, double gap)
    : viewportSize(viewportSize)
    , reservedSize(reservedSize)
    , mainWidth(mainWidth.value_or(reservedSize.width))
    , topInset(topInset)
    , bottomInset(bottomInset)
    , gap(gap)
{
}

std::optional<quint64> ToolbarPlacementModel::token() const
{
    return m_temporary ? std::optional(m_temporary->token) : std::nullopt;
}

bool ToolbarPlacementModel::isCurrent(std::optional<quint64> token) const
{
    return token && m_temporary && m_temporary->token == *token;
}

void ToolbarPlacementModel::setReturnReady(bool ready)
{
    if (m_temporary)
        m_temporary->returnReady = ready;
}

void ToolbarPlacementModel::restoreTemporary()
{
    if (!m_temporary)
        return;
    m_temporary.reset();
    ++m_epoch;
}

void ToolbarPlacementModel::advanceEpoch()
{
    ++m_epoch;
    if (m_temporary)
        m_temporary->token = m_epoch;
}

Point ToolbarPlacementModel::bounded(const Point& p, const Frame& f)
{
    return {std::max(std::min(p.x, maxX(f)), kSideMargin), std::max(std::min(p.y, maxY(f)), f.topInset)};
}

Point ToolbarPlacementModel::position(Side side, const Rect& s, const Frame& f)
{
    // Above or below, the main row's right edge lines up with the selection's; beside it,
    // the toolbar's bottom lines up with the selection's.
    const double alongX = std::max(std::min(s.maxX() - f.mainWidth, maxX(f)), kSideMargin);
    const double alongY = std::max(std::min(s.maxY() - f.reservedSize.height, maxY(f)), f.topInset);
    switch (side) {
    case Side::bottom:
        return {alongX, s.maxY() + f.gap};
    case Side::top:
        return {alongX, s.minY() - f.reservedSize.height - f.gap};
    case Side::left:
        return {s.minX() - f.reservedSize.width - f.gap, alongY};
    case Side::right:
        break;
    }
    return {s.maxX() + f.gap, alongY};
}

ToolbarPlacementModel::Side ToolbarPlacementModel::chooseSide(const Rect& s, const Frame& f,
                                                              std::optional<Side> preferred)
{
    std::array<Side, 4> order = allSides;
    if (preferred) {
        // The preferred side first, the others in their usual order.
        std::stable_partition(order.begin(), order.end(), [&](Side side) { return side == *preferred; });
    }
    for (Side side : order) {
        const Point p = position(side, s, f);
        if (bounded(p, f) == p)
            return side;
    }
    // Nothing fits unclamped: the least overlap with the selection wins; ties keep the earlier side.
    Side best = order.front();
    double bestOverlap = overlapArea(Rect(bounded(position(best, s, f), f), f.reservedSize), s);
    for (Side side : order) {
        const double overlap = overlapArea(Rect(bounded(position(side, s, f), f), f.reservedSize), s);
        if (overlap < bestOverlap) {
            best = side;
            bestOverlap = overlap;
        }
    }
    return best;
}

Point ToolbarPlacementModel::resolve(const Rect& s, const Frame& f)
{
    if (m_temporary)
        return bounded(m_temporary->position, f);
    if (m_gesture) {
        if (const std::optional<Point> p = resolveDuringGesture(s, f))
            return *p;
    }
    return m_base.mode == Mode::manual ? resolveManual(s, f) : resolveAutomatic(s, f);
}

// Absent where the gesture leaves the answer to the lasting placement.
std::optional<Point> ToolbarPlacementModel::resolveDuringGesture(const Rect& s, const Frame& f) const
{
    const Gesture& g = *m_gesture;
    switch (g.kind) {
    case GestureKind::move:
        if (m_base.mode == Mode::manual)
            return std::nullopt;
        // The automatic toolbar travels with the selection.
        return bounded(g.startPosition + Point{s.minX() - g.selection.minX(), s.minY() - g.selection.minY()}, f);
    case GestureKind::resize:
        if (m_base.mode == Mode::manual)
            return std::nullopt;
        // The side holds while resizing; it is chosen again at the commit.
        return bounded(position(m_base.side.value_or(Side::bottom), s, f), f);
    case GestureKind::dock:
        break;
    }
    if (g.preview)
        return bounded(*g.preview, f);
    return std::nullopt;
}

Point ToolbarPlacementModel::resolveAutomatic(const Rect& s, const Frame& f)
{
    // The side sticks while the selection and the frame stay the same; after a change the
    // current side is tried first.
    if (!m_base.side || m_lastSelection != s || m_lastFrame != f)
        m_base.side = chooseSide(s, f, m_base.side);
    m_lastSelection = s;
    m_lastFrame = f;
    return bounded(position(*m_base.side, s, f), f);
}

Point ToolbarPlacementModel::resolveManual(const Rect& s, const Frame& f) const
{
    if (!m_base.anchor || !m_base.offset)
        return {0, 0};
    const Point& a = *m_base.anchor;
    const Point& o = *m_base.offset;
    return bounded({s.minX() + a.x * s.width() + o.x, s.minY() + a.y * s.height() + o.y}, f);
}

bool ToolbarPlacementModel::summon(const Point& p, const Rect& s, const Frame& f)
{
    const Size& r = f.reservedSize;
    const Size& v = f.viewportSize;
    double x = p.x + kSummonOffset + r.width <= v.width - kSideMargin ? p.x + kSummonOffset
                                                                      : p.x - r.width - kSummonOffset;
    if (x < kSideMargin) // no room on either side of the pointer: centre on it
        x = std::max(std::min(p.x - r.width / 2, v.width - r.width - kSideMargin), kSideMargin);
    const double y = p.y + kSummonOffset + r.height <= v.height - kSideMargin ? p.y + kSummonOffset
                                                                              : p.y - r.height - kSummonOffset;
    if (isGesturing())
        return false;
    placeTemporary({x, y}, p, s, f);
    return true;
}

bool ToolbarPlacementModel::summon(const Point& position, const Point& origin, const Rect& s, const Frame& f)
{
    if (isGesturing())
        return false;
    placeTemporary(position, origin, s, f);
    return true;
}

void ToolbarPlacementModel::placeTemporary(const Point& position, const Point& origin, const Rect& s,
                                           const Frame& f)
{
    resolve(s, f); // refreshes the automatic side and the remembered layout
    ++m_epoch;
    m_temporary = Temporary{bounded(position, f), origin, false, m_epoch};
}

void ToolbarPlacementModel::beginGesture(GestureKind kind, const Rect& s, const Point& start)
{
    m_gesture = Gesture{kind, s, start, m_base, m_temporary, m_lastSelection, m_lastFrame, std::nullopt};
    advanceEpoch();
}

bool ToolbarPlacementModel::beginGeometry(GeometryGesture kind, const Rect& s, const Frame& f)
{
    if (isGesturing())
        return false;
    // A selection gesture sends a summoned toolbar back.
    if (m_temporary) {
        m_temporary.reset();
        ++m_epoch;
    }
    const Point start = resolve(s, f);
    beginGesture(kind == GeometryGesture::move ? GestureKind::move : GestureKind::resize, s, start);
    return true;
}

bool ToolbarPlacementModel::beginDock(const Rect& s, const Frame& f)
{
    if (isGesturing())
        return false;
    // A summoned toolbar stays for now: its position is where the drag starts.
    const Point start = resolve(s, f);
    beginGesture(GestureKind::dock, s, start);
    return true;
}

bool ToolbarPlacementModel::dragDock(const Point& delta, const Rect&, const Frame& f)
{
    if (!m_gesture || m_gesture->kind != GestureKind::dock)
        return false;
    if (!m_gesture->preview && std::hypot(delta.x, delta.y) < kDockDragThreshold)
        return false;
    m_gesture->preview = bounded(m_gesture->startPosition + delta, f);
    // The dragged toolbar becomes the start of a manual placement; no new token.
    m_temporary.reset();
    return true;
}

double ToolbarPlacementModel::anchorFraction(double toolbarMin, double toolbarLength, double selectionMin,
                                             double selectionLength)
{
    if (selectionMin + selectionLength <= toolbarMin)
        return 1; // wholly after the selection
    if (toolbarMin + toolbarLength <= selectionMin)
        return 0; // wholly before it
    // Overlapping: the nearest of the aligned start, centre and end; the centre wins ties
    // with the start, the end must be strictly nearer.
    const auto distance = [&](double a) {
        return std::abs((toolbarMin + a * toolbarLength) - (selectionMin + a * selectionLength));
    };
    double anchor = distance(0.5) > distance(0) ? 0 : 0.5;
    if (distance(1) < distance(anchor))
        anchor = 1;
    return anchor;
}

void ToolbarPlacementModel::commit(const Rect& s, const Frame& f)
{
    if (!m_gesture)
        return;
    const Gesture& g = *m_gesture;
    if (g.kind == GestureKind::dock) {
        if (g.preview) {
            const Point t = bounded(*g.preview, f);
            const Point anchor{anchorFraction(t.x, f.mainWidth, s.minX(), s.width()),
                               anchorFraction(t.y, f.reservedSize.height, s.minY(), s.height())};
            const Point offset{t.x - s.minX() - anchor.x * s.width(), t.y - s.minY() - anchor.y * s.height()};
            m_base = Base{Mode::manual, std::nullopt, anchor, offset};
            m_temporary.reset();
        }
    } else if (m_base.mode == Mode::automatic) {
        m_base.side = chooseSide(s, f, m_base.side);
    }
    m_gesture.reset();
    m_lastSelection = s;
    m_lastFrame = f;
    advanceEpoch();
}

std::optional<Rect> ToolbarPlacementModel::cancel()
{
    if (!m_gesture)
        return std::nullopt;
    const Rect selection = m_gesture->selection;
    m_base = m_gesture->savedBase;
    m_temporary = m_gesture->savedTemporary;
    m_lastSelection = m_gesture->savedLastSelection;
    m_lastFrame = m_gesture->savedLastFrame;
    m_gesture.reset();
    advanceEpoch(); // a restored temporary toolbar gets a new token
    return selection;
}

} // namespace vorlith
