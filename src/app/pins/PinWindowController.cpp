#include "app/pins/PinWindowController.h"

#include "app/base/RoundedWindowMask.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/pins/PinActionButton.h"
#include "app/pins/PinChromeSurface.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinDecorationView.h"
#include "app/pins/PinGeometry.h"
#include "app/pins/PinResizeView.h"
#include "app/pins/PinScaleView.h"
#include "core/Uuid.h"
#include "platform/FloatingWindows.h"

#include <QMenu>

namespace vorlith {

const QString PinWindowController::displayFailureMessage =
    QStringLiteral("贴图暂时无法显示，请先关闭部分贴图后重试。原有内容仍然保留。");

namespace {

// The ring's window, whose native window is made again when its translucency changes (the
// visual is chosen when the native window is made).
class RingWindow final : public QWidget {
public:
    void remakeNativeWindow()
    {
        destroy();
        create();
    }
};

template <typename Window = QWidget>
std::unique_ptr<QWidget> makeWindow(const QString& name, bool translucent)
{
    auto window = std::make_unique<Window>();
    window->setObjectName(name);
    // Before the native window exists: a translucent window needs a visual with alpha.
    window->setAttribute(Qt::WA_TranslucentBackground, translucent);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    return window;
}

// The view fills its window.
template <typename View>
View* fill(QWidget* window, View* view)
{
    view->setParent(window);
    view->setGeometry(window->rect());
    return view;
}

} // namespace

std::unique_ptr<PinWindowController> PinWindowController::make(std::shared_ptr<EditorDocument> document,
                                                               EditorHostView* host, const Rect& selection,
                                                               std::optional<Point> near, PinEnvironment environment)
{
    Q_ASSERT(document && host && environment.windows);
    if (!document || !host || !environment.windows)
        return nullptr;
    std::optional<DisplayScreen> screen = environment.mainScreen ? environment.mainScreen() : std::nullopt;
    if (!screen && environment.screens) {
        const std::vector<DisplayScreen> screens = environment.screens();
        if (!screens.empty())
            screen = screens.front();
    }
    const Rect visible = screen ? screen->visibleFrame : Rect(0, 0, 1280, 800);
    const std::optional<DocumentViewport> viewport = pinGeometry::fittedViewport(selection, visible, near);
    if (!viewport)
        return nullptr;
    return std::unique_ptr<PinWindowController>(
        new PinWindowController(std::move(document), host, *viewport, std::move(environment)));
}

PinWindowController::PinWindowController(std::shared_ptr<EditorDocument> document, EditorHostView* host,
                                         DocumentViewport viewport, PinEnvironment environment)
    : m_document(std::move(document)), m_host(host), m_viewport(viewport), m_environment(std::move(environment))
{
    m_windowPrefix = QStringLiteral("pin.") + uuidString(m_document->id()) + QStringLiteral(".")
                   + uuidString(QUuid::createUuid()) + QStringLiteral(".");
    makeWindows();
    wireHost();
    configureControls();
    connect(m_environment.windows.get(), &FloatingWindows::compositorChanged, this,
            [this] { showCompositedLook(); });
    // A selection changed since the pin was fitted: show that, at the same place and scale.
    if (const std::optional<Rect> selection = m_document->session.selection();
        selection && *selection != m_viewport.documentRect())
        if (const std::optional<DocumentViewport> replaced = m_viewport.replacingDocumentRect(*selection))
            m_viewport = *replaced;
    apply(m_viewport);
}

PinWindowController::~PinWindowController()
{
    // The image window first: the host inside it unwires the toolbar the chrome panel holds.
    m_contentWindow.reset();
}

void PinWindowController::makeWindows()
{
    FloatingWindows& kit = windows();
    m_contentWindow = makeWindow(m_windowPrefix + QStringLiteral("image"), false);
    m_chromeWindow = makeWindow(m_windowPrefix + QStringLiteral("editor"), true);
    m_borderWindow = makeWindow<RingWindow>(m_windowPrefix + QStringLiteral("decoration"), kit.hasCompositor());
    // Every pixel the ring shows is painted, in either look: nothing to fill first.
    m_borderWindow->setAttribute(Qt::WA_NoSystemBackground);
    m_controlsWindow = makeWindow(m_windowPrefix + QStringLiteral("actions"), true);
    m_scaleWindow = makeWindow(m_windowPrefix + QStringLiteral("scale"), true);
    const QString resizePrefix = QStringLiteral("pin.") + uuidString(m_document->id()) + QStringLiteral(".resize.");
    for (int i = 0; i < 8; ++i)
        m_resizeWindows[size_t(i)] = makeWindow(resizePrefix + QString::number(i), true);

    kit.place(m_contentWindow.get(), WindowLevel::pin, true);
    kit.keepOnAllDesktops(m_contentWindow.get());
    m_chromeWindow->setWindowFlags(Qt::FramelessWindowHint);
    // Shown beside the image being edited, the toolbar's panel must not take the keyboard from
    // it (a window manager focuses a newly mapped dialog): the tool letters and shortcuts are the
    // editor's. A click into one of the panel's fields still gives the panel the keyboard.
    m_chromeWindow->setAttribute(Qt::WA_ShowWithoutActivating);
    kit.placeDialog(m_chromeWindow.get(), m_contentWindow.get(), WindowLevel::pin);
    // Satellites, bottom first: ring, resize panels, badge, strip.
    kit.attachSatellite(m_borderWindow.get(), m_contentWindow.get());
    for (auto& panel : m_resizeWindows)
        kit.attachSatellite(panel.get(), m_contentWindow.get());
    kit.attachSatellite(m_scaleWindow.get(), m_contentWindow.get());
    kit.attachSatellite(m_controlsWindow.get(), m_contentWindow.get());
    for (QWidget* window : {m_contentWindow.get(), m_chromeWindow.get(), m_borderWindow.get(), m_controlsWindow.get(),
                            m_scaleWindow.get()})
        kit.setRole(window, window->objectName());
    for (auto& panel : m_resizeWindows)
        kit.setRole(panel.get(), panel->objectName());
    kit.setClickThrough(m_borderWindow.get(), true);
    kit.setClickThrough(m_scaleWindow.get(), true);

    m_content = fill(m_contentWindow.get(), new PinContentView);
    m_content->controller = this;
    m_host->setParent(m_content);
    m_host->setEditingEnabled(false);
    // Outside edit mode the content view takes the pointer.
    m_host->setAttribute(Qt::WA_TransparentForMouseEvents, true);
    m_host->show();
    m_contentWindow->installEventFilter(this);
    m_decoration = fill(m_borderWindow.get(), new PinDecorationView);
    m_scaleLabel = new PinScaleView(m_scaleWindow.get());
    for (int i = 0; i < 8; ++i) {
        auto* view = fill(m_resizeWindows[size_t(i)].get(), new PinResizeView);
        view->setTarget(m_content, m_content);
        view->onPointerExit = [this] { updateHover(); };
        m_resizeViews[size_t(i)] = view;
    }
    // The toolbar moves into the chrome panel.
    m_chromeContent = fill(m_chromeWindow.get(), new QWidget);
    if (CaptureToolbar* toolbar = m_host->toolbar())
        toolbar->setParent(m_chromeContent);
}

void PinWindowController::configureControls()
{
    m_controlsWindow->resize(int(pinGeometry::stripSize.width), int(pinGeometry::stripSize.height));
    m_controls = fill(m_controlsWindow.get(), new PinChromeSurface);
    m_controls->onPointerExit = [this] { updateHover(); };
    struct Row {
        int x;
        const char* icon;
        QString title;
    };
    const Row rows[] = {
        {5, "edit", QStringLiteral("编辑贴图")},
        {37, "reopen", QStringLiteral("恢复100%")},
        {69, "hide", QStringLiteral("隐藏贴图")},
        {101, "exit", QStringLiteral("关闭并丢弃")},
    };
    for (int i = 0; i < 4; ++i) {
        auto* button = new PinActionButton(QString::fromLatin1(rows[i].icon), rows[i].title, m_controls);
        button->setGeometry(rows[i].x, 5, 29, 29);
        m_buttons[size_t(i)] = button;
    }
    m_editButton = m_buttons[0];
    void (PinWindowController::*actions[])() = {&PinWindowController::toggleEdit, &PinWindowController::resetScale,
                                                &PinWindowController::hidePin, &PinWindowController::closePin};
    for (int i = 0; i < 4; ++i)
        connect(m_buttons[size_t(i)], &QAbstractButton::clicked, this, actions[i]);
}

void PinWindowController::wireHost()
{
    QPointer<PinWindowController> self(this);
    m_host->onPositionChrome = [self](EditorHostView&) {
        if (self)
            self->positionChrome();
    };
    m_host->canInteract = [self] { return self && !self->isBlocked(); };
    m_host->onExit = [self] {
        if (self)
            self->leaveEditing();
    };
    m_host->onScaleRequest = [self](double factor, Point anchor) {
        if (self)
            self->scale(factor, anchor);
    };
    m_host->onPinMoveBegan = [self] { return self && self->beginMovingImage(); };
    m_host->onPinMoved = [self](Size offset) {
        if (self)
            self->pinMoved(offset);
    };
    m_host->onPinMoveEnded = [self](bool cancelled) {
        if (self)
            self->pinMoveEnded(cancelled);
    };
    m_host->toolbarPlacementContext = [self]() -> EditorHostView::PlacementContext {
        if (!self)
            return {};
        const Rect C = self->contentFrame();
        const Rect T = self->contentScreen() ? self->contentScreen()->frame : C;
        const double width = self->m_host->toolbar() ? self->m_host->toolbar()->mainBarWidth() : 0;
        return {pinGeometry::toolbarSelection(C, T),
                ToolbarPlacementModel::Frame(T.size, Size{width, EditorHostView::placementReservedHeight}, width, 8,
                                             8, 10)};
    };
    m_host->toolbarPointerInPlacement = [self]() -> Point {
        if (!self)
            return {};
        const Rect T = self->contentScreen() ? self->contentScreen()->frame : self->contentFrame();
        const Point p = self->m_environment.pointer ? self->m_environment.pointer() : Point{};
        return {p.x - T.minX(), p.y - T.minY()};
    };
}

EditorHostView* PinWindowController::host() const
{
    return m_host;
}

bool PinWindowController::isBlocked() const
{
    return m_isDisposed || m_isRestoringVisibility || captureSuspended || terminationSuspended;
}

Rect PinWindowController::contentFrame() const
{
    return m_viewport.screenRect();
}

std::optional<DisplayScreen> PinWindowController::contentScreen() const
{
    // The screen the image stands on most; else the main screen, else the first.
    const std::vector<DisplayScreen> screens = m_environment.screens ? m_environment.screens() : std::vector<DisplayScreen>{};
    const Rect F = contentFrame();
    std::optional<DisplayScreen> best;
    double bestArea = 0;
    for (const DisplayScreen& screen : screens)
        if (const std::optional<Rect> common = screen.frame.intersected(F))
            if (common->width() * common->height() > bestArea) {
                best = screen;
                bestArea = common->width() * common->height();
            }
    if (best)
        return best;
    if (m_environment.mainScreen)
        if (std::optional<DisplayScreen> main = m_environment.mainScreen())
            return main;
    return screens.empty() ? std::nullopt : std::optional(screens.front());
}

// --- Layout ---

void PinWindowController::apply(const DocumentViewport& viewport)
{
    if (m_isDisposed)
        return;
    // A move (same rectangle, scale and window size) only moves windows: nothing is painted
    // again, so a drag costs what moving a plain window costs.
    const bool moveOnly = viewport.documentRect() == m_viewport.documentRect()
        && viewport.scale() == m_viewport.scale() && m_host->size() == m_content->size()
        && pinGeometry::windowRect(viewport.screenRect()).size() == m_contentWindow->size();
    m_viewport = viewport;
    const Rect F = contentFrame();
    const QRect content = pinGeometry::windowRect(F);
    m_contentWindow->setGeometry(content);
    m_borderWindow->setGeometry(pinGeometry::windowRect(pinGeometry::ringFrame(F)));
    if (!moveOnly) {
        m_content->setGeometry(m_contentWindow->rect());
        m_host->setViewport(viewport.documentRect(), viewport.scale());
        m_host->setGeometry(m_content->rect());
        m_host->setMask(PinContentView::roundedRegion(m_host->size()));
        m_decoration->setGeometry(m_borderWindow->rect());
        m_decoration->update();
    }
    positionControls();
    const std::array<Rect, 8> panels = pinGeometry::resizePanelFrames(F);
    for (int i = 0; i < 8; ++i) {
        m_resizeWindows[size_t(i)]->setGeometry(pinGeometry::windowRect(panels[size_t(i)]));
        m_resizeViews[size_t(i)]->setGeometry(m_resizeWindows[size_t(i)]->rect());
    }
    if (!moveOnly)
        showCompositedLook();
    if (isEditing)
        positionChrome();
}

void PinWindowController::positionControls()
{
    const Rect F = contentFrame();
    std::optional<DisplayScreen> screen = contentScreen();
    const Rect V = screen ? screen->visibleFrame : F;
    m_controlsWindow->setGeometry(pinGeometry::windowRect(pinGeometry::stripFrame(F, V)));
    m_scaleLabel->setPercentage(pinGeometry::percentage(m_viewport.scale()));
    const Size badge{double(m_scaleLabel->width()), double(m_scaleLabel->height())};
    m_scaleWindow->setGeometry(pinGeometry::windowRect(pinGeometry::badgeFrame(F, badge)));
    m_scaleLabel->move(0, 0);
}

void PinWindowController::positionChrome()
{
    QWidget* text = m_host->textScroll();
    if (text && isEditing && text->isVisible()) {
        const QPoint global = text->mapToGlobal(QPoint(0, 0));
        const QPoint local = m_borderWindow->mapFromGlobal(global);
        m_decoration->textInputFrame = Rect(local.x(), local.y(), text->width(), text->height());
    } else {
        m_decoration->textInputFrame.reset();
    }
    m_decoration->update();
    if (m_placingChrome || !isEditing) {
        if (!isEditing || captureSuspended)
            m_chromeWindow->hide();
        return;
    }
    if (m_isDisposed || captureSuspended || !m_requestedVisible) {
        if (captureSuspended)
            m_chromeWindow->hide();
        return;
    }
    m_placingChrome = true;
    m_host->prepareToolbarLayout();
    const EditorHostView::PlacementContext context = m_host->toolbarPlacementContext();
    const Point p = m_document->toolbarPlacement.resolve(context.selection, context.frame);
    const Rect C = contentFrame();
    const Rect T = contentScreen() ? contentScreen()->frame : C;
    if (CaptureToolbar* toolbar = m_host->toolbar()) {
        const Size size{double(toolbar->width()), double(toolbar->height())};
        m_chromeWindow->setGeometry(pinGeometry::windowRect(pinGeometry::chromeFrame(T, p, size)));
        m_chromeContent->setGeometry(m_chromeWindow->rect());
        toolbar->move(0, 0);
        toolbar->show();
    }
    shapeChromeWindow();
    showWindow(m_chromeWindow.get());
    m_placingChrome = false;
}

// --- Stacking and compositing ---

void PinWindowController::showWindow(QWidget* window)
{
    if (window->isVisible())
        windows().raise(window);
    else
        windows().show(window);
}

void PinWindowController::activateControls()
{
    if (!m_requestedVisible || !m_contentWindow->isVisible() || m_isDisposed || captureSuspended)
        return;
    m_decoration->editing = isEditing;
    m_decoration->active = isActive || isHovered;
    m_decoration->update();
    const bool compositor = windows().hasCompositor();
    // Without a compositor a ring that draws nothing would be a black frame.
    if (compositor || m_decoration->active || m_decoration->editing)
        showWindow(m_borderWindow.get());
    else
        m_borderWindow->hide();
    // Without a compositor the panels' faint white would be black; the image's own corners
    // and inner bands still resize then.
    for (auto& panel : m_resizeWindows) {
        const bool shown = !isEditing && !terminationSuspended && compositor && !panel->geometry().isEmpty();
        if (shown)
            showWindow(panel.get());
        else
            panel->hide();
    }
    if (isActive || isHovered || isEditing) {
        showWindow(m_scaleWindow.get());
        showWindow(m_controlsWindow.get());
    } else {
        m_scaleWindow->hide();
        m_controlsWindow->hide();
    }
    windows().restackSatellites(m_contentWindow.get());
    if (isEditing)
        showWindow(m_chromeWindow.get());
    showCompositedLook();
}

void PinWindowController::showCompositedLook()
{
    const bool compositor = windows().hasCompositor();
    matchRingTranslucency(compositor);
    m_decoration->shadowsShown = compositor;
    m_controls->translucent = compositor;
    m_scaleLabel->translucent = compositor;
    m_controls->update();
    m_scaleLabel->update();
    // The image is opaque and shaped to its rounded body either way: a translucent window of
    // its size would be cleared, blended and composited again at every zoom step.
    m_contentWindow->setMask(PinContentView::roundedRegion(m_contentWindow->size()));
    if (compositor) {
        // The ring is a frame: its window leaves out the image it surrounds, so the
        // compositor blends, and Qt paints and sends, only the band around it.
        const QRect whole = m_borderWindow->rect();
        const QRect image = m_decoration->card().toAlignedRect().adjusted(2, 2, -2, -2);
        m_borderWindow->setMask(image.isValid() ? QRegion(whole).subtracted(image) : QRegion(whole));
        m_controlsWindow->clearMask();
        m_scaleWindow->clearMask();
    } else {
        const QRegion ring = m_decoration->solidRegion();
        if (!ring.isEmpty())
            m_borderWindow->setMask(ring);
        m_controlsWindow->setMask(m_controls->bodyRegion());
        m_scaleWindow->setMask(m_scaleLabel->bodyRegion());
        for (auto& panel : m_resizeWindows)
            panel->hide();
    }
    shapeChromeWindow();
    m_decoration->update();
}

// Without a compositor the ring is drawn opaque inside its mask, yet a translucent window
// would still make the X server keep an offscreen copy of it and blend that onto the screen,
// and reallocate the copy at every zoom step, since the ring changes size with the image
// (about 6 ms a step for a ring around a 1440-wide image). So the ring's window is
// translucent only while something composites, and is made again when that changes.
void PinWindowController::matchRingTranslucency(bool compositor)
{
    QWidget* ring = m_borderWindow.get();
    if (ring->testAttribute(Qt::WA_TranslucentBackground) == compositor)
        return;
    const bool created = ring->testAttribute(Qt::WA_WState_Created);
    const bool shown = ring->isVisible();
    if (shown)
        ring->hide();
    ring->setAttribute(Qt::WA_TranslucentBackground, compositor);
    ring->setAttribute(Qt::WA_NoSystemBackground);
    if (!created)
        return;
    static_cast<RingWindow*>(ring)->remakeNativeWindow();
    windows().setRole(ring, ring->objectName());
    windows().setClickThrough(ring, true);
    if (shown)
        showWindow(ring);
}

void PinWindowController::shapeChromeWindow()
{
    const CaptureToolbar* toolbar = m_host ? m_host->toolbar() : nullptr;
    if (windows().hasCompositor() || !toolbar)
        m_chromeWindow->clearMask();
    else
        m_chromeWindow->setMask(roundedWindowMask(QRectF(toolbar->geometry()), toolbar->cornerRadius()));
}

void PinWindowController::updateHover()
{
    if (m_isDisposed)
        return;
    const Point p = m_environment.pointer ? m_environment.pointer() : Point{-1e9, -1e9};
    setHovered(contentFrame().contains(p));
}

void PinWindowController::setHovered(bool hovered)
{
    if (m_isDisposed)
        return;
    isHovered = hovered;
    m_decoration->hovered = hovered;
    m_decoration->update();
    activateControls();
}

// --- Visibility ---

void PinWindowController::show()
{
    if (m_isDisposed)
        return;
    m_requestedVisible = true;
    if (m_document->session.annotations() != m_document->compositor().cachedMarks()) {
        startRestoringRender();
        return;
    }
    m_document->compositor().requestPreview(m_host->visibleMarks(), m_host->previewCompletion());
    if (m_isDisposed || !m_host)
        return;
    m_host->update();
    if (!m_host->refresh())
        return;
    const bool wasVisible = m_contentWindow->isVisible();
    showWindow(m_contentWindow.get());
    activateControls();
    if (!wasVisible && onVisibilityChanged)
        onVisibilityChanged();
}

void PinWindowController::startRestoringRender()
{
    if (m_isRestoringVisibility)
        return;
    m_isRestoringVisibility = true;
    const QUuid generation = QUuid::createUuid();
    m_visibilityGeneration = generation;
    QPointer<PinWindowController> self(this);
    m_document->compositor().requestPreview(
        m_document->session.annotations(), [self, generation](const CompositeRenderer::PreviewResult& result) {
            if (!self || self->m_isDisposed || self->m_visibilityGeneration != generation)
                return;
            self->m_isRestoringVisibility = false;
            if (!self->m_requestedVisible)
                return;
            if (!result.succeeded()) {
                if (self->onDisplayFailure)
                    self->onDisplayFailure(displayFailureMessage);
                return;
            }
            self->show();
        });
}

void PinWindowController::setVisible(bool visible)
{
    if (m_isDisposed)
        return;
    m_requestedVisible = visible;
    if (visible) {
        show();
        return;
    }
    const bool wasVisible = m_contentWindow->isVisible();
    m_visibilityGeneration = QUuid::createUuid();
    if (m_isRestoringVisibility) {
        m_document->compositor().cancelPreview();
        m_isRestoringVisibility = false;
    }
    orderOutAll(false);
    if (wasVisible && onVisibilityChanged)
        onVisibilityChanged();
}

void PinWindowController::orderOutAll(bool close)
{
    std::vector<QWidget*> order{m_contentWindow.get(), m_borderWindow.get(), m_controlsWindow.get(),
                                m_scaleWindow.get(), m_chromeWindow.get()};
    for (auto& panel : m_resizeWindows)
        order.push_back(panel.get());
    for (QWidget* window : order) {
        window->hide();
        if (close)
            window->close();
    }
}

bool PinWindowController::requestActivation() const
{
    if (isBlocked())
        return false;
    return !onRequestActivation || onRequestActivation(m_document->id());
}

bool PinWindowController::bringToFront()
{
    if (isBlocked())
        return false;
    if (onRequestActivation && !onRequestActivation(m_document->id()))
        return false;
    if (m_isDisposed)
        return false;
    showWindow(m_contentWindow.get());
    activateControls();
    return true;
}

void PinWindowController::constrainToAvailableScreens()
{
    if (m_isDisposed)
        return;
    const std::vector<DisplayScreen> screens = m_environment.screens ? m_environment.screens() : std::vector<DisplayScreen>{};
    std::optional<DisplayScreen> screen = pinGeometry::mostOverlapping(contentFrame(), screens);
    if (!screen && m_environment.mainScreen)
        screen = m_environment.mainScreen();
    if (!screen)
        return;
    const Point origin = pinGeometry::constrainedOrigin(contentFrame(), screen->visibleFrame);
    if (const std::optional<DocumentViewport> moved =
            DocumentViewport::make(m_viewport.documentRect(), origin, m_viewport.scale()))
        apply(*moved);
}

void PinWindowController::dispose()
{
    if (m_isDisposed)
        return;
    m_isDisposed = true;
    m_requestedVisible = false;
    m_visibilityGeneration = QUuid::createUuid();
    m_isRestoringVisibility = false;
    if (m_host) {
        m_host->setEditingEnabled(false);
        m_host->onScaleRequest = nullptr;
        m_host->cancelOutput();
    }
    m_document->compositor().cancelPreview();
    m_moveStart.reset();
    m_suspendedChrome = {};
    m_content->cancelGesture(); // gives the pointer's shape back; the pin itself stays put
    if (m_menu)
        m_menu->close();
    orderOutAll(true);
}

} // namespace vorlith
