// EditorHostView: what the view paints. Back to front: the frozen picture with the marks'
// composite inside the selection and the dimming outside it, the mark being drawn (until the
// composite holds it), the selection's outline and
// handles, the size label, and the handles of the selected or hovered marks. The chrome
// (toolbar, pill, loupe) are child widgets above all of it.
#include "app/editor/EditorHostView.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorLayout.h"
#include "app/editor/PaintedArea.h"
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"

#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

namespace vorlith {

namespace {

QFont sizeLabelFont()
{
    return InterfaceFonts::system(11, InterfaceFonts::Weight::medium);
}

QColor withAlpha(QColor color, double alpha)
{
    color.setAlphaF(float(alpha));
    return color;
}

} // namespace

std::optional<Rect> EditorHostView::countingSelection() const
{
    const std::optional<Rect> selection = m_record->session.selection();
    if (!selection || selection->isEmpty())
        return std::nullopt;
    return selection->standardized();
}

void EditorHostView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setTransform(documentToView());
    draw(painter);
    m_paintedDamage = selectionDamage();
}

void EditorHostView::draw(QPainter& painter)
{
    const std::optional<Rect> selection = countingSelection();
    const bool interactive = mayInteract();
    const bool withMarks = selection && !m_record->session.annotations().empty();
    m_picture.paint(painter, EditorPicture::Layers{
                                 .dimmed = !m_isPinned,
                                 .selection = selection,
                                 .cutOut = interactive,
                                 .composite = withMarks ? &m_record->compositor().cachedImage() : nullptr,
                                 .compositeChanges = &m_record->compositor().cachedChanges(),
                             });
    if (!interactive || !selection)
        return;
    drawLiveInk(painter, *selection);
    if (!m_isPinned) {
        // A small repaint (a segment of a stroke) leaves out what it does not reach.
        const std::optional<QRectF> area = paintedArea(painter);
        const bool onlyInside = area && toQRectF(selection->insetBy(6, 6)).contains(*area);
        if (!onlyInside && (!area || area->intersects(toQRectF(selection->insetBy(-6, -6)))))
            drawSelectionChrome(painter, *selection);
        drawSizeLabel(painter, *selection, area);
    }
    if (hasDocument() && m_isEditingEnabled) {
        painter.save();
        painter.setClipRect(toQRectF(*selection), Qt::IntersectClip);
        for (const Annotation& mark : m_record->session.annotations())
            if (showsMarkHandles(mark))
                drawMarkHandles(painter, mark);
        painter.restore();
    }
}

void EditorHostView::drawLiveInk(QPainter& painter, const Rect& selection)
{
    for (const Annotation* mark :
         m_pointer.liveInk.pending(m_record->session.annotations(), m_record->compositor().cachedMarks()))
        LiveInk::paint(painter, *mark, selection);
}

void EditorHostView::drawSelectionChrome(QPainter& painter, const Rect& selection)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(InterfaceColors::captureOutline(), 1));
    painter.drawRect(toQRectF(selection.insetBy(-1, -1)));
    painter.setPen(QPen(InterfaceColors::white(), 1));
    painter.drawRect(toQRectF(selection));
    const double side = editorLayout::selectionHandleSize;
    painter.setBrush(InterfaceColors::captureHandle());
    for (const Rect& square : editorLayout::handleSquares(selection, side))
        painter.drawRect(toQRectF(square));
    painter.restore();
}

QString EditorHostView::sizeLabelText(const Rect& selection) const
{
    const std::optional<Rect> pixels = m_record->source().geometry.pixels(selection);
    return pixels ? editorLayout::sizeLabelText(*pixels) : QString();
}

double EditorHostView::sizeLabelWidth(const QString& text) const
{
    if (m_sizeLabelWidth.first != text || text.isEmpty())
        m_sizeLabelWidth = {text, InterfaceFonts::monospacedDigitWidth(text, sizeLabelFont()) + 2 * editorLayout::sizeLabelPadding};
    return m_sizeLabelWidth.second;
}

Rect EditorHostView::sizeLabelFrame(const Rect& selection, double width) const
{
    const auto shownFrame = [this](const QWidget* widget) -> std::optional<Rect> {
        if (widget->isHidden())
            return std::nullopt;
        return toRect(documentToView().inverted().mapRect(QRectF(widget->geometry())));
    };
    std::optional<Rect> toolbar;
    if (!m_chrome.toolbar->isHidden())
        toolbar = toRect(documentToView().inverted().mapRect(toQRectF(toolbarFrameInView())));
    return editorLayout::sizeLabelFrame(selection, width, bounds(), shownFrame(m_chrome.captureHint), toolbar);
}

void EditorHostView::drawSizeLabel(QPainter& painter, const Rect& selection, const std::optional<QRectF>& area)
{
    const QString text = sizeLabelText(selection);
    if (text.isEmpty())
        return;
    const Rect frame = sizeLabelFrame(selection, sizeLabelWidth(text));
    if (area && !area->intersects(toQRectF(frame)))
        return;
    const QFont font = sizeLabelFont();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 204));
    painter.drawRoundedRect(toQRectF(frame), 4, 4);
    painter.setPen(InterfaceColors::white());
    const QPointF baseline(frame.minX() + editorLayout::sizeLabelPadding, frame.minY() + 3 + QFontMetricsF(font).ascent());
    InterfaceFonts::drawMonospacedDigits(painter, baseline, text, font);
    painter.restore();
}

std::vector<Point> EditorHostView::markHandles(const Annotation& mark) const
{
    return editorLayout::markHandles(mark, unit());
}

bool EditorHostView::showsMarkHandles(const Annotation& mark) const
{
    if (m_text.editingID && mark.id == *m_text.editingID)
        return false;
    if (m_pointer.gesture) {
        if (const auto* draw = std::get_if<gesture::Draw>(&*m_pointer.gesture);
            draw && draw->mark.kind == Annotation::Kind::pen)
            return false;
    }
    const bool selected = m_record->selectedMarkID && *m_record->selectedMarkID == mark.id;
    if (mark.kind == Annotation::Kind::pen)
        return selected;
    return selected || (m_pointer.hoveredID && *m_pointer.hoveredID == mark.id);
}

bool EditorHostView::handleIsHot(const Annotation& mark, int index) const
{
    if (outputBusy() || m_record->session.isOutputLocked())
        return false;
    if (m_pointer.gesture) {
        const auto* endpoint = std::get_if<gesture::Endpoint>(&*m_pointer.gesture);
        return endpoint && endpoint->mark.id == mark.id && endpoint->index == index;
    }
    return m_pointer.hoveredEndpoint && m_pointer.hoveredEndpoint->first == mark.id
        && m_pointer.hoveredEndpoint->second == index;
}

void EditorHostView::drawMarkHandles(QPainter& painter, const Annotation& mark)
{
    const double u = unit();
    const QColor outline = withAlpha(InterfaceColors::focus(), 0.7);
    const bool isLine = mark.kind == Annotation::Kind::line || mark.kind == Annotation::Kind::arrow;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isLine) {
        QPen dashed(outline, u);
        dashed.setDashPattern({4, 3}); // in pen widths: 4 and 3 units
        dashed.setDashOffset(0);
        painter.setPen(dashed);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(toQRectF(editorLayout::markFrame(mark, u)));
    }
    const std::vector<Point> points = markHandles(mark);
    const double radius = editorLayout::markHandleRadius(mark.kind) * u;
    for (int i = 0; i < int(points.size()); ++i) {
        const QPointF center = toQPointF(points[size_t(i)]);
        if (handleIsHot(mark, i)) {
            const QColor halo = withAlpha(InterfaceColors::brand(), 1.0 / 3);
            painter.setPen(QPen(InterfaceColors::endpointHaloBorder(), 2 * u));
            painter.setBrush(halo);
            painter.drawEllipse(center, 6.5 * u, 6.5 * u);
            painter.setPen(QPen(InterfaceColors::endpointHotBorder(), 2 * u));
            painter.setBrush(InterfaceColors::brand());
        } else {
            painter.setPen(QPen(outline, 1.4 * u));
            painter.setBrush(InterfaceColors::white());
        }
        painter.drawEllipse(center, radius, radius);
    }
    painter.restore();
}

QRect EditorHostView::selectionDamage() const
{
    const std::optional<Rect> selection = countingSelection();
    if (!selection)
        return {};
    // The outline and the handle squares reach 5 beyond the selection.
    Rect area = selection->insetBy(-6, -6);
    if (!m_isPinned) {
        const QString text = sizeLabelText(*selection);
        if (!text.isEmpty())
            area = area.united(sizeLabelFrame(*selection, sizeLabelWidth(text)));
    }
    return documentToView().mapRect(toQRectF(area)).toAlignedRect().adjusted(-2, -2, 2, 2);
}

bool EditorHostView::setNeedsDisplay()
{
    if (!positionControls())
        return false;
    const QRect damage = selectionDamage().united(m_paintedDamage);
    if (!damage.isEmpty())
        update(damage);
    return true;
}

} // namespace vorlith
