// EditorHostView: the mouse. Hovering picks a window before the first commit and shows what a
// press would grab; a press starts one gesture (pick or drag out the selection, move or
// resize it, draw a mark, move, resize or re-point a mark, move a pin), drags carry it on and
// the release commits it through the document's memory gate. Marker placements, text and
// double clicks act at the press.
#include "rendering/AnnotationRenderer.h"

#include "app/editor/EditorHostView.h"
#include "app/editor/KeyWindow.h"
#include "app/editor/LiveInk.h"

#include "app/editor/EditorCursors.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorLayout.h"
#include "app/editor/PointerGeometry.h"
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"

#include <QEnterEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>

namespace vorlith {

namespace {

// The style a tool draws with when the document holds none for it.
AnnotationStyle fallbackStyle()
{
    return AnnotationStyle{.color = RGBA::Red, .width = 2, .opacity = 0.35, .fontSize = 28, .mosaicSize = 16};
}

bool isLine(const Annotation& mark)
{
    return mark.kind == Annotation::Kind::line || mark.kind == Annotation::Kind::arrow;
}

std::optional<Annotation::Kind> drawnKind(CaptureTool tool, Shape shapeKind)
{
    switch (tool) {
    case CaptureTool::shape: return shape::annotationKind(shapeKind);
    case CaptureTool::arrow: return Annotation::Kind::arrow;
    case CaptureTool::highlight: return Annotation::Kind::highlight;
    case CaptureTool::pen: return Annotation::Kind::pen;
    case CaptureTool::mosaic: return Annotation::Kind::mosaic;
    default: return std::nullopt;
    }
}

// The mark with this id put into the marks in place, or on top.
void putMark(std::vector<Annotation>& marks, const Annotation& mark)
{
    const auto found = std::find_if(marks.begin(), marks.end(), [&](const Annotation& a) { return a.id == mark.id; });
    if (found != marks.end())
        *found = mark;
    else
        marks.push_back(mark);
}

} // namespace

// --- Qt's events ---

EditorHostView::PointerEvent EditorHostView::pointerEvent(const QMouseEvent& event, int clickCount)
{
    return PointerEvent{event.position(), event.globalPosition(), clickCount};
}

void EditorHostView::mouseMoveEvent(QMouseEvent* event)
{
    // While the primary button is held the pointer drags; otherwise it hovers.
    if (event->buttons() & Qt::LeftButton)
        mouseDragged(pointerEvent(*event));
    else
        mouseMoved(pointerEvent(*event));
}

void EditorHostView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        mouseUp(pointerEvent(*event));
    else
        QWidget::mouseReleaseEvent(event);
}

void EditorHostView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // Qt sends the second press of a double click as this event instead of a press.
    if (event->button() == Qt::LeftButton)
        mouseDown(pointerEvent(*event, 2));
    else
        QWidget::mouseDoubleClickEvent(event);
}

void EditorHostView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    mouseEntered(PointerEvent{event->position(), event->globalPosition(), 1});
}

void EditorHostView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    mouseExited();
}

// --- Points ---

Point EditorHostView::unclampedPoint(const PointerEvent& event) const
{
    return toPoint(documentToView().inverted().map(event.position));
}

Point EditorHostView::pointerPoint(const PointerEvent& event) const
{
    return m_record->source().geometry.bounds().isEmpty() ? Point{}
                                                           : pointerGeometry::clampedInto(bounds(), unclampedPoint(event));
}

// --- Hit testing ---

std::optional<SelectionHandle> EditorHostView::selectionHandle(const Point& at) const
{
    const std::optional<Rect> selection = m_record->session.selection();
    if (m_isPinned || !hasDocument() || !selection)
        return std::nullopt;
    return pointerGeometry::selectionHandleAt(*selection, at);
}

std::optional<Annotation> EditorHostView::markAt(const Point& p) const
{
    const std::vector<Annotation>& marks = m_record->session.annotations();
    const double tolerance = pointerGeometry::markTolerance / viewScale();
    for (auto mark = marks.rbegin(); mark != marks.rend(); ++mark) {
        if (m_text.editingID && mark->id == *m_text.editingID)
            continue;
        if (mark->hitTest(p, tolerance))
            return *mark;
    }
    return std::nullopt;
}

std::optional<std::pair<Annotation, int>> EditorHostView::markHandle(const Point& at) const
{
    const std::vector<Annotation>& marks = m_record->session.annotations();
    const double reach = pointerGeometry::markHandleReach / viewScale();
    for (auto mark = marks.rbegin(); mark != marks.rend(); ++mark) {
        if (!showsMarkHandles(*mark))
            continue;
        const std::vector<Point> handles = markHandles(*mark);
        for (int i = 0; i < int(handles.size()); ++i)
            if (distance(handles[size_t(i)], at) <= reach)
                return std::pair(*mark, i);
    }
    return std::nullopt;
}

// --- Cursors and focus ---

void EditorHostView::setResizeCursor(SelectionHandle handle)
{
    switch (handle) {
    case SelectionHandle::topLeft:
    case SelectionHandle::bottomRight: setCursor(editorCursors::diagonalDown()); break;
    case SelectionHandle::topRight:
    case SelectionHandle::bottomLeft: setCursor(editorCursors::diagonalUp()); break;
    case SelectionHandle::top:
    case SelectionHandle::bottom: setCursor(Qt::SizeVerCursor); break;
    case SelectionHandle::left:
    case SelectionHandle::right: setCursor(Qt::SizeHorCursor); break;
    }
}

void EditorHostView::setToolCursor()
{
    switch (m_record->tool) {
    case CaptureTool::text: setCursor(Qt::IBeamCursor); break;
    case CaptureTool::pen: setCursor(editorCursors::penCursor()); break;
    case CaptureTool::select: setCursor(m_isPinned ? Qt::OpenHandCursor : Qt::ArrowCursor); break;
    default: setCursor(Qt::CrossCursor); break;
    }
}

void EditorHostView::makeKeyAndFirstResponder()
{
    if (!makeKeyWindow(this))
        return;
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
}

// --- Repaint of marks ---

void EditorHostView::updateDocumentRect(const Rect& rect)
{
    update(toQRectF(toView(rect)).toAlignedRect().adjusted(-1, -1, 1, 1));
}

void EditorHostView::markChanged(const Annotation& before, const Annotation& after, bool drawnLive)
{
    const double u = unit();
    const Rect changed = pointerGeometry::markDamage(before, u).united(pointerGeometry::markDamage(after, u));
    // The handles move now; the ink too when it is drawn live, else when the composite arrives.
    if (!drawnLive)
        m_pointer.pendingDamage = m_pointer.pendingDamage ? m_pointer.pendingDamage->united(changed) : changed;
    updateDocumentRect(changed);
}

void EditorHostView::requestDragPreview()
{
    m_record->compositor().requestPreview(
        visibleMarks(), [self = QPointer<EditorHostView>(this)](const CompositeRenderer::PreviewResult& result) {
            if (!self)
                return;
            if (!result.succeeded()) {
                self->previewCompletion()(result);
                return;
            }
            if (const std::optional<Rect> damage = std::exchange(self->m_pointer.pendingDamage, std::nullopt))
                self->updateDocumentRect(*damage);
        });
}

void EditorHostView::hoverChanged(const std::optional<QUuid>& hovered,
                                  const std::optional<std::pair<QUuid, int>>& endpoint)
{
    std::vector<QUuid> changed;
    if (hovered != m_pointer.hoveredID) {
        if (hovered)
            changed.push_back(*hovered);
        if (m_pointer.hoveredID)
            changed.push_back(*m_pointer.hoveredID);
    }
    if (endpoint != m_pointer.hoveredEndpoint) {
        if (endpoint)
            changed.push_back(endpoint->first);
        if (m_pointer.hoveredEndpoint)
            changed.push_back(m_pointer.hoveredEndpoint->first);
    }
    if (changed.empty())
        return;
    for (const Annotation& mark : m_record->session.annotations())
        if (std::find(changed.begin(), changed.end(), mark.id) != changed.end())
            updateDocumentRect(pointerGeometry::markDamage(mark, unit()));
}

// --- Hover ---

void EditorHostView::mouseEntered(const PointerEvent& event)
{
    mouseMoved(event);
}

void EditorHostView::mouseExited()
{
    const std::optional<std::pair<QUuid, int>> endpoint = std::exchange(m_pointer.hoveredEndpoint, std::nullopt);
    if (!hasDocument() && !hasGesture()) {
        m_chrome.loupe->hide();
        m_loupe.sampledHex.reset();
        m_loupe.pointerPoint.reset();
    }
    if (pointerOverToolbar()) {
        // A pin's toolbar stands in a window of its own: leaving for it is leaving for the chrome.
        m_pointer.hoveredEndpoint = endpoint;
        pointerLeftCanvas();
        return;
    }
    hoverChanged(m_pointer.hoveredID, endpoint);
}

void EditorHostView::pointerLeftCanvas()
{
    // The canvas gets no leave event when the pointer moves onto one of its children, so the
    // chrome reports it; a mark left hovered would keep its frame and handles.
    const std::optional<QUuid> hovered = std::exchange(m_pointer.hoveredID, std::nullopt);
    const std::optional<std::pair<QUuid, int>> endpoint = std::exchange(m_pointer.hoveredEndpoint, std::nullopt);
    hoverChanged(hovered, endpoint);
}

void EditorHostView::mouseMoved(const PointerEvent& event)
{
    if (m_suspension.inputSuspended || !mayInteract() || !m_isEditingEnabled || hasGesture() || outputBusy()
        || m_record->session.isOutputLocked())
        return;
    const std::optional<QUuid> hoveredBefore = m_pointer.hoveredID;
    const std::optional<std::pair<QUuid, int>> endpointBefore = std::exchange(m_pointer.hoveredEndpoint, std::nullopt);
    const auto redraw = [&] { hoverChanged(hoveredBefore, endpointBefore); };
    const auto onChrome = [&] {
        m_pointer.hoveredEndpoint = endpointBefore;
        pointerLeftCanvas();
    };
    const Point p = pointerPoint(event);

    if (m_isPinned && !m_chrome.toolbar->isHidden() && m_chrome.toolbar->window()->isVisible()
        && toolbarGlobalFrame().contains(toPoint(event.globalPosition)))
        return onChrome();
    const Point inView = toPoint(event.position);
    const bool overPill = m_chrome.captureHint->isVisible() && toRect(QRectF(m_chrome.captureHint->geometry())).contains(inView);
    const bool overToolbar = !m_isPinned && m_chrome.toolbar->isVisible() && toolbarFrameInView().contains(inView);
    if (overPill || overToolbar) {
        setCursor(Qt::ArrowCursor);
        return onChrome();
    }
    if (m_text.textEditor)
        return redraw();

    if (makeKeyWindow(this) && !hasActiveTextInput() && !hasFocus())
        setFocus(Qt::MouseFocusReason);

    if (!hasDocument()) {
        // The window pick: the first window under the pointer, else the whole image.
        Rect hovered = bounds();
        for (const WindowCandidate& candidate : candidates)
            if (candidate.rect.contains(p)) {
                hovered = candidate.rect;
                break;
            }
        if (m_record->session.selection() != hovered) {
            m_record->session.setSelection(hovered);
            if (!setNeedsDisplay())
                return;
        }
        updateLoupe(unclampedPoint(event), false);
        setCursor(Qt::CrossCursor);
        return;
    }

    const std::optional<Rect> selection = m_record->session.selection();
    const std::optional<ToolbarPlacementModel::Temporary>& temporary = m_record->toolbarPlacement.temporary();
    if (temporary && temporary->returnReady && selection && selection->contains(p)
        && m_chrome.properties->flushPendingInputs()) {
        const QPointer<EditorHostView> self(this);
        restoreToolbarTemporary(); // a pin's owner places its chrome, and may end the view
        if (!self)
            return;
    }

    m_pointer.hoveredID.reset();
    if (selection && selection->contains(p))
        if (const std::optional<Annotation> mark = markAt(p))
            m_pointer.hoveredID = mark->id;
    if (const auto handle = markHandle(p)) {
        if (isLine(handle->first)) {
            m_pointer.hoveredEndpoint = std::pair(handle->first.id, handle->second);
            setCursor(Qt::OpenHandCursor);
        } else {
            setResizeCursor(allSelectionHandles[size_t(handle->second)]);
        }
        return redraw();
    }
    if (const std::optional<SelectionHandle> handle = selectionHandle(p))
        setResizeCursor(*handle);
    else if (m_pointer.hoveredID)
        setCursor(Qt::OpenHandCursor);
    else
        setToolCursor();
    redraw();
}

// --- Press ---

void EditorHostView::mouseDown(const PointerEvent& event)
{
    if (m_suspension.inputSuspended || !mayInteract() || !m_isEditingEnabled || outputBusy()
        || m_record->session.isOutputLocked() || isDraggingToolbar() || !m_chrome.properties->flushPendingInputs())
        return;
    if (const auto endpoint = std::exchange(m_pointer.hoveredEndpoint, std::nullopt))
        hoverChanged(m_pointer.hoveredID, endpoint);
    if (m_text.textEditor) {
        commitText(); // the press only ends the typing
        return;
    }
    makeKeyAndFirstResponder();
    const Point p = pointerPoint(event);
    m_pointer.didDrag = false;
    if (m_record->toolbarPlacement.temporary()) {
        const QPointer<EditorHostView> self(this);
        restoreToolbarTemporary();
        if (!self)
            return;
    }
    m_chrome.feedback->hide();
    m_chrome.retryButton->hide();

    const std::optional<Rect> selection = m_record->session.selection();
    if (!hasDocument() || !selection) {
        setGesture(gesture::Select{p, selection});
        refresh();
        return;
    }
    const Rect sel = *selection;

    if (const auto handle = markHandle(p); handle && sel.contains(p)) {
        const auto& [mark, index] = *handle;
        m_record->selectedMarkID = mark.id;
        chooseStyle(mark);
        if (!refresh())
            return;
        if (isLine(mark)) {
            setGesture(gesture::Endpoint{index, mark});
            setCursor(Qt::ClosedHandCursor);
            return;
        }
        const SelectionHandle grabbed = allSelectionHandles[size_t(index)];
        setGesture(gesture::MarkResize{grabbed, mark, p - handlePoint(grabbed, mark.bounds())});
        return;
    }

    if (const std::optional<SelectionHandle> handle = selectionHandle(p)) {
        beginSelectionGeometry(ToolbarPlacementModel::GeometryGesture::resize);
        setGesture(gesture::Resize{*handle, sel});
        return;
    }

    if (sel.contains(p)) {
        if (const std::optional<Annotation> mark = markAt(p)) {
            m_record->selectedMarkID = mark->id;
            chooseStyle(*mark);
            if (event.clickCount == 2 && mark->kind == Annotation::Kind::text) {
                beginText(mark->bounds().origin, *mark);
                return;
            }
            if (event.clickCount == 2 && mark->kind == Annotation::Kind::number) {
                m_record->tool = CaptureTool::number;
                m_chrome.propertiesOpen = true;
                if (refresh())
                    m_chrome.properties->focusNumberInput();
                return;
            }
            setGesture(gesture::MarkMove{p, *mark});
            setCursor(Qt::ClosedHandCursor);
            refresh();
            return;
        }
    }

    const std::optional<QUuid> selected = std::exchange(m_record->selectedMarkID, std::nullopt);
    const std::optional<QUuid> hovered = m_pointer.hoveredID;
    m_pointer.hoveredID.reset();
    hoverChanged(hovered, m_pointer.hoveredEndpoint);
    if (selected)
        for (const Annotation& mark : m_record->session.annotations())
            if (mark.id == *selected)
                updateDocumentRect(pointerGeometry::markDamage(mark, unit()));

    if (sel.contains(p)) {
        switch (m_record->tool) {
        case CaptureTool::text: beginText(p, std::nullopt); return;
        case CaptureTool::number: placeMarker(p); return;
        case CaptureTool::select: break;
        default: beginNewMark(p); return;
        }
        if (m_isPinned) {
            setGesture(gesture::PinMove{toPoint(event.globalPosition)});
            refresh();
            return;
        }
        beginSelectionGeometry(ToolbarPlacementModel::GeometryGesture::move);
        setGesture(gesture::Move{p, sel});
        refresh();
        return;
    }
    if (m_isPinned)
        return;
    // A drag outside starts a new selection; a plain click changes nothing.
    setGesture(gesture::Select{p, sel});
    refresh();
}

void EditorHostView::beginSelectionGeometry(ToolbarPlacementModel::GeometryGesture kind)
{
    const std::optional<PlacementContext> context = placementContext();
    if (!context)
        return;
    m_chrome.returnTimer.stop();
    m_chrome.returnToken.reset();
    m_record->toolbarPlacement.beginGeometry(kind, context->selection, context->frame);
}

void EditorHostView::beginNewMark(const Point& p)
{
    const std::optional<Annotation::Kind> kind = drawnKind(m_record->tool, m_record->shapeKind);
    Q_ASSERT(kind);
    if (!kind)
        return;
    Annotation mark;
    mark.id = QUuid::createUuid();
    mark.kind = *kind;
    mark.points = {p, p};
    mark.style = m_record->styles.value(m_record->tool, fallbackStyle());
    mark.number = 1;
    // The mark joins the draft at the first drag: a click draws nothing.
    setGesture(gesture::Draw{mark});
    updateDocumentRect(pointerGeometry::markDamage(mark, unit()));
}

void EditorHostView::placeMarker(const Point& p)
{
    EditorSession copy = m_record->session;
    const AnnotationStyle style = m_record->styles.value(CaptureTool::number, fallbackStyle());
    const double diameter = m_record->styles.contains(CaptureTool::number) ? style.fontSize : 24;
    if (!copy.addNumber(p, diameter, style)) {
        if (showFeedback(QStringLiteral("已到999，请设置下一编号")))
            refresh();
        return;
    }
    if (m_record->canCommitSession) {
        const QPointer<EditorHostView> self(this);
        const bool allowed = m_record->canCommitSession(copy);
        if (!self)
            return;
        if (!allowed) {
            showFeedback(QStringLiteral("内存预算不足，已有内容已保留。"));
            return;
        }
    }
    m_record->session = std::move(copy);
    m_record->selectedMarkID.reset();
    m_pointer.hoveredID.reset();
    if (renderMarks())
        notify(onContentChanged);
}

// --- Drag ---

void EditorHostView::mouseDragged(const PointerEvent& event)
{
    if (m_suspension.inputSuspended || !mayInteract() || outputBusy() || m_record->session.isOutputLocked()
        || !m_pointer.gesture)
        return;
    const Point p = pointerPoint(event);
    const CaptureGeometry& geometry = m_record->source().geometry;
    EditorSession& session = m_record->session;
    // Copied: the handlers below replace the gesture.
    const EditorGesture current = *m_pointer.gesture;

    if (const auto* pin = std::get_if<gesture::PinMove>(&current)) {
        const Point pointer = toPoint(event.globalPosition);
        if (!m_pointer.pinMoveStarted) {
            if (distance(pointer, pin->start) < pointerGeometry::pinMoveThreshold)
                return;
            const QPointer<EditorHostView> self(this);
            const bool accepted = onPinMoveBegan && onPinMoveBegan();
            if (!self)
                return;
            if (!accepted) {
                setGesture(std::nullopt);
                return;
            }
            m_pointer.pinMoveStarted = true;
        }
        setCursor(Qt::ClosedHandCursor);
        const Point offset = pointer - pin->start;
        notify(onPinMoved, Size{offset.x, offset.y});
        return;
    }

    bool marksChanged = false;
    if (const auto* select = std::get_if<gesture::Select>(&current)) {
        if (distance(p, select->start) >= pointerGeometry::dragThreshold)
            m_pointer.didDrag = true;
        if (m_pointer.didDrag)
            session.setSelection(geometry.selection(select->start, p));
        if (!hasDocument())
            updateLoupe(unclampedPoint(event), true);
    } else if (const auto* move = std::get_if<gesture::Move>(&current)) {
        m_pointer.didDrag = true;
        const Point delta = p - move->start;
        session.setSelection(geometry.moving(move->selection, Size{delta.x, delta.y}));
    } else if (const auto* resize = std::get_if<gesture::Resize>(&current)) {
        m_pointer.didDrag = true;
        session.setSelection(resizing(resize->handle, resize->selection, p, geometry));
    } else if (const auto* draw = std::get_if<gesture::Draw>(&current)) {
        m_pointer.didDrag = true;
        if (!drawTo(*draw, p))
            return;
        marksChanged = true;
    } else {
        m_pointer.didDrag = true;
        std::optional<Annotation> before;
        std::optional<Annotation> after;
        if (const auto* markMove = std::get_if<gesture::MarkMove>(&current)) {
            const Point delta = p - markMove->start;
            before = markMove->mark;
            after = markMove->mark.moved(Size{delta.x, delta.y});
        } else if (const auto* markResize = std::get_if<gesture::MarkResize>(&current)) {
            before = markResize->mark;
            after = markResize->mark.resized(markResize->handle, p - markResize->grabOffset, geometry,
                                             &AnnotationRenderer::textBounds);
        } else if (const auto* endpoint = std::get_if<gesture::Endpoint>(&current)) {
            before = endpoint->mark;
            after = pointerGeometry::withEndpoint(endpoint->mark, endpoint->index, p);
        }
        Q_ASSERT(before && after);
        // What is on screen now: the mark as the previous step left it in the draft.
        const auto& marks = session.annotations();
        const auto shown = std::find_if(marks.begin(), marks.end(), [&](const Annotation& a) { return a.id == after->id; });
        markChanged(shown != marks.end() ? *shown : *before, *after);
        replace(*after);
        marksChanged = true;
    }

    if (marksChanged) {
        // Ink drawn live needs no preview until the release commits it.
        if (!std::holds_alternative<gesture::Draw>(current) || !LiveInk::draws(std::get<gesture::Draw>(current).mark.kind))
            requestDragPreview();
        positionControls();
        return;
    }
    setNeedsDisplay();
}

bool EditorHostView::drawTo(gesture::Draw draw, const Point& p)
{
    EditorSession& session = m_record->session;
    const std::optional<Rect> selection = session.selection();
    const Annotation before = draw.mark;
    draw.mark = pointerGeometry::extended(draw.mark, selection ? pointerGeometry::clampedInto(*selection, p) : p);
    if (pointerGeometry::isPenCheckpoint(draw.mark) && m_record->canCommitSession) {
        // The stroke grows with every event; its memory is weighed only every so many points.
        EditorSession trial = session;
        std::vector<Annotation> marks = trial.annotations();
        putMark(marks, draw.mark);
        trial.setAnnotations(std::move(marks));
        if (trial.commit()) {
            const QPointer<EditorHostView> self(this);
            const bool allowed = m_record->canCommitSession(trial);
            if (!self)
                return false;
            if (!allowed) {
                // The stroke ends here; what was drawn before this point is kept if it fits.
                setGesture(std::nullopt);
                m_pointer.pendingDamage.reset();
                commitContent();
                if (self)
                    showFeedback(QStringLiteral("内存预算不足，已停止添加笔迹，已有内容已保留。"));
                return false;
            }
        }
    }
    std::vector<Annotation> marks = session.annotations();
    putMark(marks, draw.mark);
    session.setAnnotations(std::move(marks));
    const bool live = LiveInk::draws(draw.mark.kind);
    if (live)
        m_pointer.liveInk.track(draw.mark, session.annotations(), m_record->compositor().cachedMarks());
    if (draw.mark.kind == Annotation::Kind::pen) {
        // A growing stroke changes only around its newest segment.
        m_record->selectedMarkID.reset();
        Annotation segment = draw.mark;
        segment.points = {before.points.empty() ? draw.mark.points.back() : before.points.back(), draw.mark.points.back()};
        markChanged(segment, segment, live);
    } else {
        m_record->selectedMarkID = draw.mark.id;
        markChanged(before, draw.mark, live);
    }
    m_pointer.gesture = draw; // the edit is open already
    return true;
}

// --- Release ---

void EditorHostView::mouseUp(const PointerEvent& event)
{
    if (m_suspension.inputSuspended || !mayInteract() || outputBusy() || m_record->session.isOutputLocked()
        || !m_pointer.gesture)
        return;
    const EditorGesture ended = *std::exchange(m_pointer.gesture, std::nullopt);
    m_pointer.pendingDamage.reset(); // the release repaints the selection with the committed marks
    m_chrome.loupe->hide();
    EditorSession& session = m_record->session;

    if (std::holds_alternative<gesture::Select>(ended) && hasDocument() && !m_pointer.didDrag) {
        session.cancelEdit();
        refresh();
        return;
    }
    if (std::holds_alternative<gesture::PinMove>(ended)) {
        if (std::exchange(m_pointer.pinMoveStarted, false) && !notify(onPinMoveEnded, false))
            return;
        if (refresh())
            setCursor(Qt::OpenHandCursor);
        return;
    }

    const QPointer<EditorHostView> self(this);
    if (countingSelection()) {
        if (const auto* markResize = std::get_if<gesture::MarkResize>(&ended);
            markResize && markResize->mark.kind == Annotation::Kind::text) {
            for (const Annotation& mark : session.annotations())
                if (mark.id == markResize->mark.id)
                    m_record->styles.insert(CaptureTool::text, mark.style);
        }
        const bool committed = commitContent();
        if (!self || (committed && !notify(onCommit)))
            return;
        if (const std::optional<PlacementContext> context = placementContext()) {
            m_record->toolbarPlacement.commit(context->selection, context->frame);
            if (!positionControls())
                return;
        }
    } else {
        if (hasDocument())
            restoreContent();
        else if (const auto* select = std::get_if<gesture::Select>(&ended))
            session.setSelection(select->selection);
        if (!self || !refresh())
            return;
    }
    mouseMoved(event);
}

} // namespace vorlith
