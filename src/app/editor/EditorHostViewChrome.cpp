// EditorHostView: where the chrome goes and when it shows. The toolbar beside the selection
// (or summoned to the pointer, or docked by a drag), the feedback label and its buttons, the
// guidance pill, the shadows, and the discovery panel that teaches the summon; with the two
// timers: the summoned toolbar's return monitor and the hover delay of the discovery hint.
#include "app/editor/EditorHostView.h"

#include "app/editor/DiscoveryHintPanel.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorLayout.h"
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/HintExitButton.h"
#include "app/editor/chrome/OverlayChromeShadows.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/base/InterfaceColors.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "platform/FloatingWindows.h"
#include "platform/WindowLevel.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace vorlith {

namespace {

QRect toQRect(const Rect& rect)
{
    return toQRectF(rect).toRect();
}

} // namespace

ToolbarPlacementModel::Frame EditorHostView::editorPlacementFrame() const
{
    const double mainWidth = m_chrome.toolbar->mainBarWidth();
    const Rect b = bounds();
    return ToolbarPlacementModel::Frame(Size{b.width(), b.height()}, Size{mainWidth, placementReservedHeight},
                                        mainWidth, 8, 8, 10);
}

std::optional<EditorHostView::PlacementContext> EditorHostView::placementContext() const
{
    if (toolbarPlacementContext)
        return toolbarPlacementContext();
    if (const std::optional<Rect> selection = m_record->session.selection())
        return PlacementContext{*selection, editorPlacementFrame()};
    return std::nullopt;
}

Point EditorHostView::placementPointer() const
{
    if (toolbarPointerInPlacement)
        return toolbarPointerInPlacement();
    if (!m_observedWindow)
        return Point{};
    const QPointF local = mapFromGlobal(m_environment.globalPointer());
    return toPoint(documentToView().inverted().map(local));
}

Rect EditorHostView::toolbarGlobalFrame() const
{
    const CaptureToolbar* toolbar = m_chrome.toolbar;
    return Rect(toPoint(QPointF(toolbar->mapToGlobal(QPoint(0, 0)))), toSize(QSizeF(toolbar->size())));
}

Rect EditorHostView::toolbarFrameInView() const
{
    const Rect global = toolbarGlobalFrame();
    return Rect(toPoint(QPointF(mapFromGlobal(toQPointF(global.origin).toPoint()))), global.size);
}

void EditorHostView::moveToolbar(const Point& originInView)
{
    CaptureToolbar* toolbar = m_chrome.toolbar;
    const QPoint global = mapToGlobal(toQPointF(originInView).toPoint());
    QWidget* parent = toolbar->parentWidget();
    toolbar->move(parent ? parent->mapFromGlobal(global) : global);
}

bool EditorHostView::pointerOverToolbar() const
{
    return !m_chrome.toolbar->isHidden() && toolbarGlobalFrame().contains(toPoint(m_environment.globalPointer()));
}

bool EditorHostView::positionControls()
{
    prepareToolbarLayout();
    if (m_isPinned && onPositionChrome) {
        m_chrome.captureHint->hide();
        if (!notify(onPositionChrome, *this))
            return false;
        positionDiscoveryHint(false);
        positionShadows();
        return true;
    }
    const bool available = mayInteract();
    const std::optional<Rect> selection = m_record->session.selection();
    if (hasDocument() && selection && available) {
        const Point origin = m_record->toolbarPlacement.resolve(*selection, editorPlacementFrame());
        moveToolbar(toPoint(documentToView().map(toQPointF(origin))));
        const Rect viewBounds(0, 0, width(), height());
        const Rect toolbar = toolbarFrameInView();
        const Rect feedback = editorLayout::feedbackFrame(viewBounds, toolbar);
        if (!m_isPinned)
            m_chrome.feedback->setGeometry(toQRect(feedback));
        const QRect button = toQRect(editorLayout::outputButtonFrame(viewBounds, toolbar, feedback));
        m_chrome.cancelOutputButton->setGeometry(button);
        m_chrome.retryButton->setGeometry(button);
        positionDiscoveryHint(false);
    }
    positionHint(available);
    positionShadows();
    return true;
}

void EditorHostView::prepareToolbarLayout()
{
    const bool toolbarHidden = !hasDocument() || !mayInteract() || !m_isEditingEnabled;
    m_chrome.toolbar->setHidden(toolbarHidden);
    if (!m_isEditingEnabled) {
        m_chrome.feedback->hide();
        orderOutDiscoveryPanel();
    }
    const bool stripHidden = toolbarHidden || !m_chrome.propertiesOpen || m_record->tool == CaptureTool::select
        || m_text.textEditor;
    m_chrome.properties->setHidden(stripHidden);
    m_chrome.toolbar->layoutEmbeddedProperties();
}

// --- Summoning and the return monitor ---

void EditorHostView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        rightMouseDown(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        mouseDown(pointerEvent(*event));
        return;
    }
    QWidget::mousePressEvent(event);
}

void EditorHostView::rightMouseDown(QMouseEvent* event)
{
    const std::optional<Rect> selection = m_record->session.selection();
    const auto passOn = [&] { QWidget::mousePressEvent(event); };
    if (m_suspension.inputSuspended || !hasDocument() || !selection)
        return passOn();
    const Size size = m_record->source().geometry.size;
    const QPointF local = documentToView().inverted().map(event->position());
    const Point click{std::clamp(local.x(), 0.0, size.width), std::clamp(local.y(), 0.0, size.height)};
    if (!selection->contains(click))
        return passOn();
    if (!m_isEditingEnabled || !mayInteract() || outputBusy() || m_record->session.isOutputLocked())
        return passOn();
    if (hasGesture() || isDraggingToolbar() || m_text.textEditor)
        return passOn();
    if (!m_chrome.properties->flushPendingInputs())
        return passOn();
    const std::optional<PlacementContext> context = placementContext();
    if (!context)
        return passOn();
    event->accept();
    if (!m_record->toolbarPlacement.summon(placementPointer(), context->selection, context->frame))
        return;
    m_chrome.discoverySeen = true;
    orderOutDiscoveryPanel();
    m_chrome.hoverHintVisible = false;
    m_chrome.returnOutsideSince.reset();
    if (setNeedsDisplay())
        startToolbarReturnMonitor();
}

void EditorHostView::restoreToolbarTemporary()
{
    m_chrome.returnTimer.stop();
    m_chrome.returnToken.reset();
    m_chrome.returnOutsideSince.reset();
    m_record->toolbarPlacement.restoreTemporary();
    setNeedsDisplay();
}

void EditorHostView::startToolbarReturnMonitor()
{
    m_chrome.returnTimer.stop();
    m_chrome.returnToken.reset();
    const std::optional<quint64> token = m_record->toolbarPlacement.token();
    if (!token)
        return;
    m_chrome.returnToken = token;
    m_chrome.returnOutsideSince.reset();
    m_chrome.returnTimer.start();
}

void EditorHostView::returnMonitorTick()
{
    ToolbarPlacementModel& model = m_record->toolbarPlacement;
    if (!model.isCurrent(m_chrome.returnToken)) {
        m_chrome.returnTimer.stop();
        m_chrome.returnToken.reset();
        return;
    }
    const auto typing = [this] {
        const auto fields = m_chrome.properties->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly);
        return std::any_of(fields.begin(), fields.end(), [](const QLineEdit* f) { return f->hasFocus(); });
    };
    const bool paused = m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked()
        || hasGesture() || isDraggingToolbar() || m_text.textEditor || m_chrome.properties->hasInvalidInput()
        || typing() || m_environment.modalWindowShown();
    if (paused || pointerOverToolbar()
        || nearTemporaryToolbar(placementPointer(), *model.temporary())) {
        if (!paused && pointerOverToolbar())
            model.setReturnReady(true);
        m_chrome.returnOutsideSince.reset();
        return;
    }
    const Clock::time_point now = m_environment.now();
    if (!m_chrome.returnOutsideSince)
        m_chrome.returnOutsideSince = now;
    if (now - *m_chrome.returnOutsideSince >= m_environment.returnAway)
        restoreToolbarTemporary();
}

bool EditorHostView::nearTemporaryToolbar(const Point& pointer, const ToolbarPlacementModel::Temporary& temporary) const
{
    const Rect toolbar(temporary.position, toSize(QSizeF(m_chrome.toolbar->size())));
    return editorLayout::nearTemporaryToolbar(pointer, toolbar, temporary.origin);
}

// --- The discovery hint ---

void EditorHostView::hoverToolbar()
{
    if (m_suspension.inputSuspended)
        return;
    m_record->toolbarPlacement.setReturnReady(true);
    m_chrome.returnOutsideSince.reset();
    pointerLeftCanvas();
    if (m_chrome.discoverySeen && !m_chrome.hoverHintTimer.isActive())
        m_chrome.hoverHintTimer.start();
}

void EditorHostView::toolbarHoverEnded()
{
    // Qt tells the canvas nothing while the pointer is over its child: the bar reports it.
    if (m_chrome.hoverHintVisible)
        positionDiscoveryHint(false);
}

void EditorHostView::hoverHintFired()
{
    if (!pointerOverToolbar())
        return;
    m_chrome.hoverHintVisible = true;
    positionDiscoveryHint(true);
}

void EditorHostView::cancelHoverHint()
{
    // A cancelled timer is gone: a later hover starts a new one.
    m_chrome.hoverHintTimer.stop();
}

void EditorHostView::orderOutDiscoveryPanel()
{
    if (m_chrome.discoveryPanel)
        m_chrome.discoveryPanel->hide();
}

void EditorHostView::positionDiscoveryHint(bool force)
{
    if (m_chrome.hoverHintVisible && !pointerOverToolbar())
        m_chrome.hoverHintVisible = false;
    const bool allowed = !m_suspension.inputSuspended && !m_chrome.toolbar->isHidden() && m_isEditingEnabled
        && !outputBusy() && !m_record->session.isOutputLocked() && !m_text.textEditor && !hasGesture()
        && !isDraggingToolbar() && !m_chrome.properties->hasInvalidInput()
        && !m_record->toolbarPlacement.temporary() && (!m_chrome.discoverySeen || force || m_chrome.hoverHintVisible);
    if (!allowed) {
        orderOutDiscoveryPanel();
        return;
    }
    const Rect toolbar = toolbarGlobalFrame();
    if (!(toolbar.width() > 0))
        return;
    QScreen* screen = nullptr;
    for (QScreen* candidate : QGuiApplication::screens()) {
        if (toRect(QRectF(candidate->geometry())).intersects(toolbar)) {
            screen = candidate;
            break;
        }
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    if (!m_chrome.discoveryPanel)
        m_chrome.discoveryPanel = new DiscoveryHintPanel(QStringLiteral("右键，将工具栏召唤到鼠标旁"), this);
    DiscoveryHintPanel* panel = m_chrome.discoveryPanel;
    const Rect frame = editorLayout::discoveryPanelFrame(toolbar, toRect(QRectF(screen->availableGeometry())),
                                                         panel->preferredWidth());
    const std::optional<Rect> toast = m_outputToast.coordinator->visibleFrame(m_outputToast.owner);
    if (toast && toast->intersects(frame)) {
        orderOutDiscoveryPanel();
        return;
    }
    panel->setComposited(!m_environment.windows || m_environment.windows->hasCompositor());
    panel->setGeometry(toQRectF(frame).toAlignedRect());
    if (panel->isVisible()) {
        panel->update();
        return;
    }
    if (m_environment.windows) {
        m_environment.windows->place(panel, WindowLevel::hintPanel, false);
        m_environment.windows->show(panel);
    } else {
        panel->show();
        panel->raise();
    }
}

// --- The pill and the shadows ---

void EditorHostView::positionHint(bool available)
{
    CaptureHint* hint = m_chrome.captureHint;
    const bool document = hasDocument();
    if (!available || outputBusy() || m_record->session.isOutputLocked() || (document && hasGesture())) {
        hint->hide();
        return;
    }
    QString text = QStringLiteral("单击选取窗口 · 拖动自定义区域");
    if (document)
        text = m_text.textEditor ? QStringLiteral("点击空白处完成编辑 · Esc 取消输入") : QStringLiteral("拖动边缘调整范围");
    const bool showExit = !document;
    if (hint->text() != text || hint->exitButton()->isHidden() == showExit)
        hint->configure(text, showExit);

    std::optional<Rect> selection = m_record->session.selection();
    if (selection)
        selection = toView(*selection);
    std::optional<Rect> toolbar;
    if (!m_chrome.toolbar->isHidden())
        toolbar = toolbarFrameInView();
    std::optional<Rect> textBox;
    if (m_text.textEditor && m_text.textScroll)
        textBox = toRect(QRectF(m_text.textScroll->geometry()));
    const std::optional<Rect> frame = editorLayout::hintFrame(toSize(QSizeF(hint->size())), Rect(0, 0, width(), height()),
                                                              editorLayout::hintObstacles(selection, toolbar, textBox));
    if (!frame) {
        hint->hide();
        return;
    }
    hint->move(toQRectF(*frame).topLeft().toPoint());
    hint->show();
}

void EditorHostView::positionShadows()
{
    using Layer = OverlayChromeShadows::Layer;
    std::vector<OverlayChromeShadows::Item> items;
    if (!m_isPinned && !m_chrome.toolbar->isHidden()) {
        QColor far = InterfaceColors::pinShadow();
        far.setAlphaF(38 / 255.0f);
        QColor near = InterfaceColors::pinShadow();
        near.setAlphaF(18 / 255.0f);
        items.push_back({toolbarFrameInView(), m_chrome.toolbar->cornerRadius(), {Layer{14, 20, far}, Layer{2, 3, near}}});
    }
    if (m_text.textEditor && m_text.textScroll) {
        const double u = unit();
        items.push_back({toRect(QRectF(m_text.textScroll->geometry())), 4 * u, {Layer{4 * u, 10 * u, QColor(0, 0, 0, 34)}}});
    }
    if (!m_chrome.captureHint->isHidden())
        items.push_back({toRect(QRectF(m_chrome.captureHint->geometry())), CaptureHint::cornerRadius,
                         {Layer{3, 7.5, QColor(0, 0, 0, 17)}}});
    m_chrome.chromeShadows->setItems(std::move(items));
}

// --- Dragging the toolbar by its background ---

bool EditorHostView::beginToolbarDrag()
{
    if (m_suspension.inputSuspended || !mayInteract() || !m_isEditingEnabled)
        return false;
    if (outputBusy() || m_record->session.isOutputLocked() || hasGesture() || m_text.textEditor)
        return false;
    if (!m_chrome.properties->flushPendingInputs())
        return false;
    const std::optional<PlacementContext> context = placementContext();
    if (!context || !m_record->toolbarPlacement.beginDock(context->selection, context->frame))
        return false;
    m_chrome.returnTimer.stop();
    m_chrome.returnToken.reset();
    cancelHoverHint();
    orderOutDiscoveryPanel();
    m_chrome.hoverHintVisible = false;
    m_chrome.toolbarDragStart = placementPointer();
    returnToCanvas();
    return true;
}

void EditorHostView::dragToolbar()
{
    if (m_suspension.inputSuspended || !m_chrome.toolbarDragStart)
        return;
    const std::optional<PlacementContext> context = placementContext();
    if (!context)
        return;
    m_record->toolbarPlacement.dragDock(placementPointer() - *m_chrome.toolbarDragStart, context->selection,
                                        context->frame);
    setNeedsDisplay();
}

void EditorHostView::endToolbarDrag()
{
    if (m_suspension.inputSuspended || !m_chrome.toolbarDragStart)
        return;
    m_chrome.toolbarDragStart.reset();
    if (const std::optional<PlacementContext> context = placementContext())
        m_record->toolbarPlacement.commit(context->selection, context->frame);
    if (!setNeedsDisplay())
        return;
    startToolbarReturnMonitor();
    returnToCanvas();
}

} // namespace vorlith
