// EditorHostView: data, construction and wiring, the callbacks, the edit rule of gestures,
// input suspension, the window lifecycle and the content operations the interaction concerns
// share.
// The renderer first: its error type hashes through an unqualified qHash(int) that the tool
// table's qHash(CaptureTool) would hide if that were declared before it.
#include "rendering/AnnotationRenderer.h"

#include "app/editor/EditorHostView.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/LightPalette.h"
#include "app/editor/DiscoveryHintPanel.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/FilledLine.h"
#include "app/editor/chrome/HintExitButton.h"
#include "app/editor/chrome/OverlayChromeShadows.h"
#include "app/editor/chrome/StripLabel.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "platform/x11/X11Pasteboard.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

#include <cmath>

namespace vorlith {

const QString EditorHostView::accessibilityLabel = QStringLiteral("截图选区");

namespace {

// The style a tool falls back to when the document holds none for it.
AnnotationStyle fallbackStyle()
{
    return AnnotationStyle{.color = RGBA::Red, .width = 2, .opacity = 0.35, .fontSize = 28, .mosaicSize = 16};
}

AnnotationStyle fallbackNumberStyle()
{
    AnnotationStyle style = fallbackStyle();
    style.fontSize = 24;
    return style;
}

bool isTextInput(const QWidget* widget)
{
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QPlainTextEdit*>(widget)
        || qobject_cast<const QTextEdit*>(widget);
}

bool isEditable(const QWidget* widget)
{
    if (auto* line = qobject_cast<const QLineEdit*>(widget))
        return !line->isReadOnly();
    if (auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        return !plain->isReadOnly();
    if (auto* rich = qobject_cast<const QTextEdit*>(widget))
        return !rich->isReadOnly();
    return false;
}

void setEditable(QWidget* widget, bool editable)
{
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        line->setReadOnly(!editable);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
        plain->setReadOnly(!editable);
    else if (auto* rich = qobject_cast<QTextEdit*>(widget))
        rich->setReadOnly(!editable);
}

Annotation::Kind shownKind(CaptureTool tool, Shape shapeKind)
{
    switch (tool) {
    case CaptureTool::select: return Annotation::Kind::roundedRectangle;
    case CaptureTool::shape: return shape::annotationKind(shapeKind);
    case CaptureTool::arrow: return Annotation::Kind::arrow;
    case CaptureTool::highlight: return Annotation::Kind::highlight;
    case CaptureTool::pen: return Annotation::Kind::pen;
    case CaptureTool::text: return Annotation::Kind::text;
    case CaptureTool::mosaic: return Annotation::Kind::mosaic;
    case CaptureTool::number: return Annotation::Kind::number;
    }
    return Annotation::Kind::roundedRectangle;
}

} // namespace

EditorHostEnvironment EditorHostEnvironment::standard()
{
    EditorHostEnvironment environment;
    environment.fillDefaults();
    return environment;
}

void EditorHostEnvironment::fillDefaults()
{
    if (!now)
        now = [] { return Clock::now(); };
    if (!globalPointer)
        globalPointer = [] { return QPointF(QCursor::pos()); };
    if (!modalWindowShown)
        modalWindowShown = [] { return QApplication::activeModalWidget() != nullptr; };
}

EditorHostView::EditorHostView(std::shared_ptr<EditorDocument> record, bool isPinned,
                               std::shared_ptr<OutputService> output, std::shared_ptr<OutputCoordinator> outputs,
                               std::shared_ptr<FeedbackCoordinator> feedback, Environment environment, QWidget* parent)
    : QWidget(parent),
      m_record(std::move(record)),
      m_isPinned(isPinned),
      m_environment(std::move(environment)),
      m_picture(m_record->source().image, m_record->source().geometry.size, InterfaceColors::captureMask()),
      m_output(output ? std::move(output) : std::make_shared<OutputService>(std::make_shared<X11Pasteboard>())),
      m_outputs(outputs ? std::move(outputs) : std::make_shared<OutputCoordinator>()),
      m_outputToast(std::move(feedback))
{
    Q_ASSERT(m_record);
    m_environment.fillDefaults();
    const Size size = m_record->source().geometry.size;
    resize(std::max(1, clampToInt(std::round(size.width))), std::max(1, clampToInt(std::round(size.height))));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(accessibilityLabel);
    // The chrome is light whatever the desktop theme: Qt's own controls in it (the strip's
    // fields, the output buttons, the text box, tool tips) take the light palette from here.
    applyLightPalette(*this);
    InterfaceFonts::applyToApplication();

    // Back to front: shadows, pill, toolbar, feedback, output buttons, loupe.
    m_chrome.chromeShadows = new OverlayChromeShadows(this);
    m_chrome.chromeShadows->setGeometry(rect());
    m_chrome.captureHint = new CaptureHint(this);
    connect(m_chrome.captureHint->exitButton(), &QAbstractButton::clicked, this, [this] { exitCapture(); });
    m_chrome.toolbar = new CaptureToolbar(this);
    m_chrome.properties = new ToolProperties;
    wireToolbar();
    wireProperties();
    buildFeedback();
    m_chrome.loupe = new CaptureLoupeView(this);
    m_chrome.loupe->resize(CaptureLoupeView::loupeWidth, CaptureLoupeView::loupeHeight);

    m_chrome.toolbar->hide();
    m_chrome.properties->hide();
    m_chrome.toolbar->embedProperties(m_chrome.properties);
    m_chrome.loupe->hide();

    m_chrome.returnTimer.setInterval(m_environment.returnTick);
    connect(&m_chrome.returnTimer, &QTimer::timeout, this, [this] { returnMonitorTick(); });
    m_chrome.hoverHintTimer.setSingleShot(true);
    m_chrome.hoverHintTimer.setInterval(m_environment.hoverHintDelay);
    connect(&m_chrome.hoverHintTimer, &QTimer::timeout, this, [this] { hoverHintFired(); });
    // The chrome stands where it belongs from the first picture on.
    refresh();
}

EditorHostView::~EditorHostView()
{
    // The chrome outlives this body (children go in QWidget's destructor, and a pin's toolbar
    // lives in the pin's window): a bar hidden mid-drag ends its drag then, and must not
    // reach a view that is half gone.
    unwireChrome();
    stopTimers();
    // An output that outlives its view would hold the application's one output permit and the
    // document's lock for good.
    m_compositionTask.cancel();
    finishSessionOutput(false);
    if (m_observedWindow && m_observedWindow != this)
        m_observedWindow->removeEventFilter(this);
}

namespace {

// A callback for the chrome that calls into the view while it exists and does nothing after.
template <typename Call> auto whileAlive(EditorHostView* view, Call call)
{
    return [self = QPointer<EditorHostView>(view), call](auto&&... args) {
        if (self)
            call(*self, std::forward<decltype(args)>(args)...);
    };
}

} // namespace

void EditorHostView::wireToolbar()
{
    CaptureToolbar* toolbar = m_chrome.toolbar;
    toolbar->onAction = whileAlive(this, [](EditorHostView& v, const QString& key) { v.performTool(key); });
    toolbar->onPin = whileAlive(this, [](EditorHostView& v) { v.performTool(QStringLiteral("pin")); });
    toolbar->onDragBegan = [self = QPointer<EditorHostView>(this)](const QMouseEvent&) {
        return self && self->beginToolbarDrag();
    };
    toolbar->onDragged = whileAlive(this, [](EditorHostView& v, const QMouseEvent&) { v.dragToolbar(); });
    toolbar->onDragEnded = whileAlive(this, [](EditorHostView& v, const QMouseEvent&) { v.endToolbarDrag(); });
    toolbar->onHover = whileAlive(this, [](EditorHostView& v) { v.hoverToolbar(); });
    toolbar->onHoverEnded = whileAlive(this, [](EditorHostView& v) { v.toolbarHoverEnded(); });
    if (toolbar->isPinnedEditing != m_isPinned) {
        toolbar->isPinnedEditing = m_isPinned;
        toolbar->rebuildButtons();
    }
}

void EditorHostView::wireProperties()
{
    ToolProperties* strip = m_chrome.properties;
    strip->onChange = whileAlive(this, [](EditorHostView& v, const AnnotationStyle& style, Annotation::Kind kind) {
        v.changeStyle(style, kind, false);
    });
    strip->onPreview = whileAlive(this, [](EditorHostView& v, const AnnotationStyle& style, Annotation::Kind kind) {
        v.changeStyle(style, kind, true);
    });
    strip->onShapeChoice = whileAlive(this, [](EditorHostView& v, Annotation::Kind kind) { v.chooseShape(kind); });
    strip->onNumberChange = whileAlive(this, [](EditorHostView& v, int number) { v.changeNumber(number); });
    strip->onDiameterChange = whileAlive(this, [](EditorHostView& v, double diameter) { v.changeDiameter(diameter); });
    strip->onValidationFailure =
        whileAlive(this, [](EditorHostView& v, const QString& message) { v.showFeedback(message); });
    strip->onReturnToCanvas = whileAlive(this, [](EditorHostView& v) { v.returnToCanvas(); });
}

void EditorHostView::unwireChrome()
{
    CaptureToolbar* toolbar = m_chrome.toolbar;
    toolbar->onAction = {};
    toolbar->onPin = {};
    toolbar->onDragBegan = {};
    toolbar->onDragged = {};
    toolbar->onDragEnded = {};
    toolbar->onHover = {};
    toolbar->onHoverEnded = {};
    ToolProperties* strip = m_chrome.properties;
    strip->onChange = {};
    strip->onPreview = {};
    strip->onShapeChoice = {};
    strip->onNumberChange = {};
    strip->onDiameterChange = {};
    strip->onValidationFailure = {};
    strip->onReturnToCanvas = {};
}

void EditorHostView::buildFeedback()
{
    m_chrome.feedback = new QLabel(this);
    QLabel* label = m_chrome.feedback;
    label->setWordWrap(true);
    label->setFont(InterfaceFonts::system(12));
    label->setAutoFillBackground(true);
    label->setContentsMargins(8, 4, 8, 4);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, InterfaceColors::feedbackBody());
    palette.setColor(QPalette::WindowText, InterfaceColors::white());
    label->setPalette(palette);
    label->hide();

    m_chrome.cancelOutputButton = new QPushButton(QStringLiteral("取消输出"), this);
    m_chrome.cancelOutputButton->hide();
    m_chrome.retryButton = new QPushButton(QStringLiteral("重试"), this);
    m_chrome.retryButton->hide();
    connect(m_chrome.cancelOutputButton, &QAbstractButton::clicked, this, [this] { cancelOutput(); });
    connect(m_chrome.retryButton, &QAbstractButton::clicked, this, [this] { retryOutput(); });
}

// --- State queries ---

bool EditorHostView::mayInteract() const
{
    return !canInteract || canInteract();
}

bool EditorHostView::outputBusy() const
{
    return m_output->isBusy();
}

bool EditorHostView::busy() const
{
    return outputBusy() || m_record->session.isOutputLocked() || m_suspension.inputSuspended;
}

bool EditorHostView::hasDocument() const
{
    return m_record->session.document().has_value();
}

void EditorHostView::setEditingEnabled(bool enabled)
{
    m_isEditingEnabled = enabled;
    refresh();
}

QWidget* EditorHostView::textScroll() const
{
    return m_text.textScroll;
}

void EditorHostView::setGesture(std::optional<EditorGesture> gesture)
{
    m_pointer.gesture = std::move(gesture);
    if (m_pointer.gesture && !std::holds_alternative<gesture::PinMove>(*m_pointer.gesture))
        m_record->session.beginEdit(EditorSession::EditKind::gesture);
}

bool EditorHostView::hasActiveTextInput() const
{
    if (m_text.textEditor)
        return true;
    if (isTextInput(window()->focusWidget()))
        return true;
    return isTextInput(m_chrome.toolbar->window()->focusWidget());
}

bool EditorHostView::hasPendingTerminationWork() const
{
    const EditorSession& session = m_record->session;
    const std::optional<CaptureDocument>& document = session.document();
    if (!document)
        return false;
    if (document->isPendingOutput())
        return true;
    const std::optional<Rect> selection = session.selection();
    if (!selection || *selection != document->content().selection
        || session.annotations() != document->content().annotations)
        return true;
    if (!m_text.textEditor)
        return false;
    const QString text = AnnotationRenderer::normalizedNewlines(m_text.textEditor->toPlainText());
    const auto& marks = session.annotations();
    const auto mark = m_text.editingID
        ? std::find_if(marks.begin(), marks.end(), [&](const Annotation& a) { return a.id == *m_text.editingID; })
        : marks.end();
    if (mark == marks.end())
        return !text.trimmed().isEmpty();
    if (mark->text != text)
        return true;
    const AnnotationStyle committed = m_record->styles.value(CaptureTool::text, fallbackStyle());
    return mark->style != committed;
}

// --- Transform ---

void EditorHostView::setViewScale(double scale)
{
    Q_ASSERT(std::isfinite(scale) && scale > 0);
    if (!(std::isfinite(scale) && scale > 0))
        return;
    m_viewScale = std::max(scale, 0.001);
    m_shown.reset();
    const Size size = m_record->source().geometry.size;
    resize(std::max(1, clampToInt(std::round(size.width * m_viewScale))),
           std::max(1, clampToInt(std::round(size.height * m_viewScale))));
    setNeedsDisplay();
}

bool EditorHostView::setViewport(const Rect& shown, double scale)
{
    const Rect r = shown.standardized();
    const double width = r.width() * scale;
    const double height = r.height() * scale;
    if (!r.isFinite() || r.isEmpty() || !std::isfinite(scale) || !(scale > 0) || !std::isfinite(width)
        || !std::isfinite(height))
        return false;
    m_viewScale = scale;
    m_shown = r;
    resize(std::max(1, clampToInt(std::round(width))), std::max(1, clampToInt(std::round(height))));
    setNeedsDisplay();
    return true;
}

double EditorHostView::viewScale() const
{
    return m_viewScale;
}

QTransform EditorHostView::documentToView() const
{
    QTransform transform = QTransform::fromScale(m_viewScale, m_viewScale);
    if (m_shown) // the shown rectangle's corner at the widget's corner, then scaled
        transform.translate(-m_shown->minX(), -m_shown->minY());
    return transform;
}

Rect EditorHostView::bounds() const
{
    if (m_shown)
        return *m_shown;
    const Size size = m_record->source().geometry.size;
    return Rect(0, 0, size.width, size.height);
}

Rect EditorHostView::toView(const Rect& documentRect) const
{
    return toRect(documentToView().mapRect(toQRectF(documentRect)));
}

// --- Suspension ---

void EditorHostView::setInputSuspended(bool suspended)
{
    if (suspended == m_suspension.inputSuspended)
        return;
    if (suspended) {
        m_suspension.inputSuspended = true;
        stopTimers();
        orderOutDiscoveryPanel();
        m_chrome.hoverHintVisible = false;
        m_chrome.properties->preserveInputDraft();
        QWidget* responder = window()->focusWidget();
        m_suspension.suspendedResponder = responder;
        m_suspension.suspendedFieldEditor = isTextInput(responder) ? responder : nullptr;
        m_suspension.suspendedEditorWasEditable = responder && isEditable(m_suspension.suspendedFieldEditor);
        if (m_suspension.suspendedFieldEditor)
            setEditable(m_suspension.suspendedFieldEditor, false);
        if (m_text.textEditor)
            m_text.textEditor->setReadOnly(true);
        if (responder)
            responder->clearFocus();
        releaseAllKeys();
        refresh();
        return;
    }
    m_suspension.inputSuspended = false;
    if (m_suspension.suspendedFieldEditor)
        setEditable(m_suspension.suspendedFieldEditor, m_suspension.suspendedEditorWasEditable);
    m_suspension.suspendedFieldEditor = nullptr;
    if (m_text.textEditor)
        m_text.textEditor->setReadOnly(false);
    if (m_suspension.suspendedResponder)
        m_suspension.suspendedResponder->setFocus(Qt::OtherFocusReason);
    m_suspension.suspendedResponder = nullptr;
    if (!refresh())
        return;
    m_chrome.properties->restoreInputDraft();
    startToolbarReturnMonitor();
}

bool EditorHostView::prepareForExternalAction()
{
    if (m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked() || hasGesture())
        return false;
    if (!m_chrome.properties->flushPendingInputs())
        return false;
    return commitText();
}

void EditorHostView::cancelPinMove()
{
    if (!m_pointer.gesture || !std::holds_alternative<gesture::PinMove>(*m_pointer.gesture))
        return;
    m_pointer.gesture.reset();
    if (m_pointer.pinMoveStarted) {
        m_pointer.pinMoveStarted = false;
        if (!notify(onPinMoveEnded, true))
            return;
    }
    m_pointer.pinMoveStarted = false;
    if (refresh())
        setCursor(Qt::OpenHandCursor);
}

void EditorHostView::restore(const RecoveredCapture& saved)
{
    EditorDocument& record = *m_record;
    record.session.restore(saved.document);
    record.saveDraft = saved.saveDraft;
    record.tool = saved.tool;
    record.styles = saved.styles;
    record.shapeKind = saved.shapeKind;
    if (!record.styles.contains(CaptureTool::number))
        record.styles.insert(CaptureTool::number, fallbackNumberStyle());
    record.selectedMarkID = saved.selectedMarkID;
    m_chrome.propertiesOpen = record.tool != CaptureTool::select;
    renderMarks();
}

// --- Content operations ---

std::vector<Annotation> EditorHostView::visibleMarks() const
{
    std::vector<Annotation> marks = m_record->session.annotations();
    if (m_text.editingID)
        std::erase_if(marks, [&](const Annotation& a) { return a.id == *m_text.editingID; });
    return marks;
}

CompositeRenderer::PreviewCompletion EditorHostView::previewCompletion()
{
    return [self = QPointer<EditorHostView>(this)](const CompositeRenderer::PreviewResult& result) {
        if (!self)
            return;
        if (!result.succeeded() && !self->showFeedback(QStringLiteral("图片处理失败，请撤销本次修改或重试。")))
            return;
        self->setNeedsDisplay();
    };
}

bool EditorHostView::renderMarks()
{
    const QPointer<EditorHostView> self(this);
    m_record->compositor().requestPreview(visibleMarks(), previewCompletion());
    return self && refresh();
}

bool EditorHostView::commitContent()
{
    EditorSession& session = m_record->session;
    const std::optional<Rect> selection = session.selection();
    if (!selection || selection->isEmpty())
        return false;
    EditorSession trial = session;
    if (!trial.commit())
        return false;
    if (m_record->canCommitSession) {
        const QPointer<EditorHostView> self(this);
        const bool allowed = m_record->canCommitSession(trial);
        if (!self)
            return false;
        if (!allowed) {
            m_record->session.cancelEdit();
            if (renderMarks())
                showFeedback(QStringLiteral("内存预算不足，本次修改未提交，已有内容已保留。"));
            return false;
        }
    }
    m_record->session = std::move(trial);
    if (renderMarks())
        notify(onContentChanged);
    return true;
}

void EditorHostView::restoreContent()
{
    m_record->session.cancelEdit();
    renderMarks();
}

std::optional<Annotation> EditorHostView::selectedMarker() const
{
    if (!m_record->selectedMarkID)
        return std::nullopt;
    for (const Annotation& mark : m_record->session.annotations())
        if (mark.id == *m_record->selectedMarkID)
            return mark.kind == Annotation::Kind::number ? std::optional<Annotation>(mark) : std::nullopt;
    return std::nullopt;
}

AnnotationStyle EditorHostView::shownStyle(const std::optional<Annotation>& marker) const
{
    if (m_record->tool == CaptureTool::number && marker)
        return marker->style;
    return m_record->styles.value(m_record->tool, fallbackStyle());
}

bool EditorHostView::refresh()
{
    EditorDocument& record = *m_record;
    const bool isBusy = busy();
    const std::optional<CaptureDocument>& document = record.session.document();
    m_chrome.toolbar->refresh(record.tool, document && !document->undoStack().empty(),
                              document && !document->redoStack().empty(), isBusy);
    m_chrome.toolbar->setShapeKind(shape::annotationKind(record.shapeKind));

    const std::optional<Annotation> marker = selectedMarker();
    const double diameter = marker ? marker->bounds().width()
        : record.styles.contains(CaptureTool::number) ? record.styles.value(CaptureTool::number).fontSize
                                                      : 24;
    m_chrome.properties->setNumberContext(record.session.nextNumber(),
                                          marker ? std::optional<int>(marker->number) : std::nullopt, diameter);
    m_chrome.properties->configure(record.tool, shownKind(record.tool, record.shapeKind), shownStyle(marker));
    for (QWidget* child : m_chrome.properties->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!qobject_cast<StripLabel*>(child) && !qobject_cast<FilledLine*>(child))
            child->setEnabled(!isBusy);
    }
    return setNeedsDisplay();
}

// --- Window lifecycle ---

bool EditorHostView::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
    case QEvent::Show:
        viewDidMoveToWindow();
        break;
    case QEvent::Resize:
        m_chrome.chromeShadows->setGeometry(rect());
        layoutTextEditor(); // a zoomed pin: child widgets do not scale by themselves
        break;
    case QEvent::ShortcutOverride:
        if (performKeyEquivalent(static_cast<QKeyEvent*>(event)))
            return true;
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool EditorHostView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_observedWindow) {
        if (event->type() == QEvent::WindowDeactivate)
            windowResignedKey();
        else if (event->type() == QEvent::Close)
            ownerWindowClosing();
    }
    return QWidget::eventFilter(watched, event);
}

void EditorHostView::viewDidMoveToWindow()
{
    QWidget* current = parentWidget() || isVisible() ? window() : nullptr;
    if (current == m_observedWindow)
        return;
    if (m_observedWindow)
        m_observedWindow->removeEventFilter(this);
    m_observedWindow = current;
    if (current) {
        current->installEventFilter(this);
        if (!m_isPinned && !hasDocument()) {
            const QPointF local = mapFromGlobal(m_environment.globalPointer());
            updateLoupe(toPoint(documentToView().inverted().map(local)), false);
        }
        return;
    }
    stopTimers();
    orderOutDiscoveryPanel();
    m_chrome.hoverHintVisible = false;
    releaseAllKeys();
}

void EditorHostView::windowResignedKey()
{
    releaseAllKeys();
    cancelPinMove();
}

void EditorHostView::ownerWindowClosing()
{
    stopTimers();
    orderOutDiscoveryPanel();
    m_outputToast.coordinator->removePending(m_outputToast.owner);
}

// Nothing the view draws changes with its focus, so QWidget's handlers, which repaint the whole
// widget, are not called: on a capture overlay that would be a second full-screen frame right
// after the first, when the overlay becomes key (and another on every Alt+Tab).
void EditorHostView::focusInEvent(QFocusEvent* event)
{
    event->accept();
}

void EditorHostView::focusOutEvent(QFocusEvent* event)
{
    event->accept();
    resignFirstResponder();
}

void EditorHostView::resignFirstResponder()
{
    releaseAllKeys();
}

void EditorHostView::stopTimers()
{
    m_chrome.returnTimer.stop();
    m_chrome.returnToken.reset();
    cancelHoverHint();
}

void EditorHostView::releaseAllKeys()
{
    m_inputPolicy.releaseAllKeys();
}

} // namespace vorlith
