#include "app/output/feedback/OutputToastRenderer.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/LightPalette.h"
#include "app/base/YUpSpace.h"
#include "app/output/feedback/OutputToastLayout.h"
#include "app/output/feedback/OutputToastSurface.h"
#include "app/output/feedback/ToastSymbolView.h"
#include "app/output/feedback/ToastText.h"
#include "core/Async.h"
#include "platform/FloatingWindows.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRegion>
#include <QVBoxLayout>

#include <cmath>

namespace vorlith {

namespace {

QRect toPixels(const Rect& r)
{
    const int x = clampToInt(std::round(r.minX()));
    const int y = clampToInt(std::round(r.minY()));
    return QRect(x, y, clampToInt(std::round(r.maxX())) - x, clampToInt(std::round(r.maxY())) - y);
}

QString buttonStyle()
{
    const QColor ink = InterfaceColors::ink();
    return QStringLiteral("QPushButton { color: %1; background: %2; border: 1px solid %3; border-radius: 6px; padding: 0; }"
                          "QPushButton:pressed { background: %4; }")
        .arg(ink.name(), InterfaceColors::panelBody().name(), InterfaceColors::groupBorder().name(),
             InterfaceColors::hover().name());
}

} // namespace

OutputToastRenderer::OutputToastRenderer(ToastEnvironment environment, QObject* parent)
    : QObject(parent), m_environment(std::move(environment))
{
    if (m_environment.windows)
        connect(m_environment.windows.get(), &FloatingWindows::compositorChanged, this, [this] {
            // The mask and the shadows depend on it; lay the panel out again.
            if (m_panel && m_presentation)
                reshow();
        });
}

OutputToastRenderer::~OutputToastRenderer()
{
    cancelDelay();
    delete m_panel.data();
    delete m_detailsWindow.data();
}

void OutputToastRenderer::cancelDelay()
{
    m_delay.cancel();
    m_delay = TaskHandle();
}

void OutputToastRenderer::startDelay(std::chrono::milliseconds duration, const QUuid& id,
                                     void (OutputToastRenderer::*then)(const QUuid&))
{
    cancelDelay();
    m_delay = TaskHandle::spawn([self = QPointer(this), duration, id, then](std::stop_token stop) -> QCoro::Task<> {
        auto wait = sleepFor(duration, stop);
        co_await wait;
        if (stop.stop_requested() || !self || self->m_requestID != id)
            co_return;
        (self.data()->*then)(id);
    });
}

void OutputToastRenderer::showProgressAfterDelay(const QUuid&)
{
    show(m_labelText, true, QStringLiteral("取消"), m_cancelAction, false, false);
}

void OutputToastRenderer::dismissIfCurrent(const QUuid&)
{
    dismiss();
}

std::optional<quint32> OutputToastRenderer::displayUnder(const Point& point) const
{
    const std::optional<DisplayScreen> screen = m_environment.screens.screenAt(point);
    return screen ? screen->displayNumber : std::nullopt;
}

void OutputToastRenderer::begin(const QUuid& id, const Point& anchor, const QString& message, std::function<void()> cancel)
{
    // A request begun again (after a suspension) stays on its display.
    std::optional<std::optional<quint32>> remembered;
    if (m_requestID == id)
        remembered = m_originDisplayID;
    dismiss();
    m_requestID = id;
    m_anchor = anchor;
    m_originDisplayID = remembered ? *remembered : displayUnder(anchor);
    m_labelText = message;
    m_cancelAction = std::move(cancel);
    startDelay(m_environment.timing.progressDelay, id, &OutputToastRenderer::showProgressAfterDelay);
}

void OutputToastRenderer::progress(const QUuid& id, const QString& message)
{
    if (m_requestID != id)
        return;
    m_labelText = message;
    // Before the panel exists only the text changes, so the panel opens with the newest.
    if (m_panel)
        show(message, true, QStringLiteral("取消"), m_cancelAction, false, false);
}

void OutputToastRenderer::adoptOrigin(const Point& anchor)
{
    m_anchor = anchor;
    m_originDisplayID = displayUnder(anchor);
    reshow();
}

void OutputToastRenderer::reshow()
{
    if (!m_presentation)
        return;
    const Presentation p = *m_presentation;
    show(p.message, p.progress, p.title, m_action, p.failed, p.notice);
}

void OutputToastRenderer::suspend(const QUuid& id)
{
    if (m_requestID != id)
        return;
    cancelDelay();
    if (m_panel)
        m_panel->hide();
}

void OutputToastRenderer::success(const QUuid& id, const QString& message)
{
    if (m_requestID != id)
        return;
    cancelDelay();
    show(message, false, std::nullopt, {}, false, false);
    startDelay(m_environment.timing.successLifetime, id, &OutputToastRenderer::dismissIfCurrent);
}

void OutputToastRenderer::showNotice(const QString& message, const Point& anchor)
{
    const QUuid id = QUuid::createUuid();
    begin(id, anchor, message, [] {});
    cancelDelay();
    show(message, false, std::nullopt, {}, false, true);
    startDelay(m_environment.timing.noticeLifetime, id, &OutputToastRenderer::dismissIfCurrent);
}

void OutputToastRenderer::failure(const QUuid& id, const QString& message, std::function<void()> retry)
{
    if (m_requestID != id)
        return;
    cancelDelay(); // a failure never dismisses itself
    std::optional<QString> title;
    std::function<void()> action;
    if (retry) {
        title = QStringLiteral("重试");
        action = std::move(retry);
    } else if (detailsText) {
        title = QStringLiteral("详情");
        action = [self = QPointer(this)] {
            if (self)
                self->showDetails();
        };
    }
    show(message, false, title, std::move(action), true, false);
}

void OutputToastRenderer::dismiss()
{
    cancelDelay();
    m_requestID.reset();
    m_cancelAction = {};
    m_action = {};
    if (m_detailsWindow) {
        m_detailsWindow->close();
        m_detailsWindow->deleteLater();
        m_detailsWindow = nullptr;
    }
    m_presentation.reset();
    if (!m_panel)
        return;
    QPointer<QWidget> panel = m_panel;
    m_panel = nullptr;
    if (m_environment.windows)
        m_environment.windows->setClickThrough(panel, true);
    const bool fades = m_environment.windows && !m_environment.windows->reducesMotion()
        && m_environment.windows->hasCompositor() && panel->isVisible();
    if (!fades) {
        panel->close();
        panel->deleteLater();
        return;
    }
    auto* fade = new QPropertyAnimation(panel, "windowOpacity", panel);
    fade->setDuration(int(m_environment.timing.fade.count()));
    fade->setEndValue(0.0);
    connect(fade, &QPropertyAnimation::finished, panel, [panel] {
        if (panel) {
            panel->close();
            panel->deleteLater();
        }
    });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

std::optional<DisplayScreen> OutputToastRenderer::originScreen() const
{
    if (std::optional<DisplayScreen> own = m_environment.screens.screenNumbered(m_originDisplayID))
        return own;
    // Else the main screen, which Qt lists first.
    const std::vector<DisplayScreen> screens = m_environment.screens.screens();
    if (screens.empty())
        return std::nullopt;
    return screens.front();
}

void OutputToastRenderer::makePanel()
{
    auto* panel = new QWidget(nullptr);
    panel->setObjectName(QStringLiteral("output-feedback"));
    panel->setAccessibleName(QStringLiteral("output-feedback"));
    applyLightPalette(*panel);
    panel->setAttribute(Qt::WA_TranslucentBackground);
    panel->setAttribute(Qt::WA_NoSystemBackground);
    if (m_environment.windows)
        m_environment.windows->place(panel, WindowLevel::toast, false);
    else
        panel->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    panel->setAttribute(Qt::WA_ShowWithoutActivating);
    // The panel never becomes active, and Qt shows tool tips only in active windows: without
    // this a cut message could not be read whole and the close button's "关闭提示" never shows.
    panel->setAttribute(Qt::WA_AlwaysShowToolTips);

    auto* surface = new OutputToastSurface(m_environment.shadows, panel);
    auto* symbol = new ToastSymbolView(surface);
    auto* label = new QLabel(surface);
    label->setFont(InterfaceFonts::system(OutputToastLayout::textPixelSize));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, InterfaceColors::ink());
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* spinner = new ToastSymbolView(surface);
    spinner->setKind(ToastSymbolView::Kind::spinner, InterfaceColors::ink());
    auto* button = new QPushButton(surface);
    button->setFont(InterfaceFonts::system(OutputToastLayout::buttonPixelSize, InterfaceFonts::Weight::medium));
    button->setStyleSheet(buttonStyle());
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::PointingHandCursor);
    connect(button, &QPushButton::clicked, this, &OutputToastRenderer::invokeAction);
    auto* close = new ToastCloseButton(surface);
    connect(close, &QAbstractButton::clicked, this, &OutputToastRenderer::closeNotice);

    m_panel = panel;
    m_surface = surface;
    m_symbol = symbol;
    m_label = label;
    m_spinner = spinner;
    m_button = button;
    m_closeButton = close;
}

void OutputToastRenderer::applyCompositing()
{
    const bool composited = !m_environment.windows || m_environment.windows->hasCompositor();
    m_surface->drawsShadows = composited;
    if (composited) {
        m_panel->clearMask();
        return;
    }
    // No compositor: the transparent margin would be black, so the window is cut to the body
    // and the one-pixel ring around it, which the surface then draws inside the cut.
    m_panel->setMask(OutputToastSurface::maskOutline(m_surface->bodyRect()));
}

void OutputToastRenderer::show(const QString& message, bool progress, const std::optional<QString>& buttonTitle,
                               std::function<void()> action, bool failed, bool notice)
{
    m_presentation = Presentation{message, progress, buttonTitle, failed, notice};
    m_action = std::move(action);
    const std::optional<DisplayScreen> screen = originScreen();
    if (!screen)
        return; // laid out by a later show
    layOut(*screen);
}

void OutputToastRenderer::layOut(const DisplayScreen& screen)
{
    const Presentation p = *m_presentation;
    const QFont font = InterfaceFonts::system(OutputToastLayout::textPixelSize);
    const QFontMetricsF metrics(font);
    const OutputToastLayout::Content content{ToastText::widestLine(p.message, metrics), p.title.has_value(), p.failed,
                                             int(ToastText::lines(p.message).size()), std::ceil(metrics.lineSpacing())};
    const std::vector<DisplayScreen> screens = m_environment.screens.screens();
    const YUpSpace space = YUpSpace::ofScreens(screens.empty() ? std::nullopt : std::optional<Rect>(screens.front().frame));
    const Rect body = OutputToastLayout::bodyFrame(content, screen.visibleFrame, verticalOffset, space);

    const bool justMade = !m_panel;
    if (justMade)
        makePanel();
    const QRect frame = toPixels(OutputToastLayout::panelFrame(body));
    m_panel->setGeometry(frame);
    m_surface->setGeometry(QRect(QPoint(0, 0), frame.size()));

    // Only toasts that offer something to press take clicks; the others let them through.
    if (m_environment.windows)
        m_environment.windows->setClickThrough(m_panel, !(p.progress || p.failed));
    m_surface->failed = p.failed;
    applyCompositing();
    m_surface->update();

    const double bodyWidth = frame.width() - 2 * OutputToastLayout::shadowMargin;
    const OutputToastLayout::Subviews views =
        OutputToastLayout::subviews(bodyWidth, frame.height(), p.title.has_value(), p.failed);
    const QRect labelFrame = toPixels(views.label);
    m_label->setText(ToastText::fittedLines(p.message, metrics, labelFrame.width()).join(QLatin1Char('\n')));
    m_label->setToolTip(p.message);
    m_label->setGeometry(labelFrame);

    if (p.failed)
        m_symbol->setKind(ToastSymbolView::Kind::failure, InterfaceColors::toastError());
    else if (p.notice)
        m_symbol->setKind(ToastSymbolView::Kind::notice, InterfaceColors::secondary());
    else
        m_symbol->setKind(ToastSymbolView::Kind::success, InterfaceColors::focus());
    m_symbol->setGeometry(toPixels(views.symbol));
    m_symbol->setVisible(!p.progress);
    m_spinner->setGeometry(toPixels(views.symbol));
    m_spinner->setVisible(p.progress);
    m_spinner->setSpinning(p.progress);

    m_button->setText(p.title.value_or(QString()));
    m_button->setVisible(p.title.has_value());
    m_button->setGeometry(toPixels(views.button));
    m_closeButton->setVisible(p.failed);
    m_closeButton->setGeometry(toPixels(views.closeButton));

    const bool fades = m_environment.windows && !m_environment.windows->reducesMotion()
        && m_environment.windows->hasCompositor();
    if (justMade)
        m_panel->setWindowOpacity(fades ? 0.0 : 1.0);
    if (m_isPresented) {
        if (m_environment.windows)
            m_environment.windows->show(m_panel);
        else
            m_panel->show();
    }
    if (justMade && fades) {
        auto* fadeIn = new QPropertyAnimation(m_panel, "windowOpacity", m_panel);
        fadeIn->setDuration(int(m_environment.timing.fade.count()));
        fadeIn->setEndValue(1.0);
        fadeIn->start(QAbstractAnimation::DeleteWhenStopped);
    }
}

void OutputToastRenderer::setPresented(bool presented)
{
    m_isPresented = presented;
    if (!m_panel)
        return;
    if (!presented)
        m_panel->hide();
    else if (m_environment.windows)
        m_environment.windows->show(m_panel);
    else
        m_panel->show();
}

void OutputToastRenderer::invokeAction()
{
    // Copied first: the action may dismiss this toast, which clears it.
    const std::function<void()> action = m_action;
    if (action)
        action();
}

void OutputToastRenderer::closeNotice()
{
    dismiss();
    const std::function<void()> close = onClose;
    if (close)
        close();
}

void OutputToastRenderer::showDetails()
{
    if (!detailsText)
        return;
    if (m_detailsWindow) {
        // Closed by the window manager it is only hidden: show it again.
        m_detailsWindow->show();
        m_detailsWindow->raise();
        m_detailsWindow->activateWindow();
        return;
    }
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setWindowTitle(QStringLiteral("图片置顶结果"));
    window->setMinimumSize(320, 180);
    window->resize(480, 320);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, InterfaceColors::panelBody());
    window->setPalette(palette);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* text = new QPlainTextEdit(window);
    text->setReadOnly(true);
    text->setFrameShape(QFrame::NoFrame);
    text->setFont(InterfaceFonts::system(OutputToastLayout::textPixelSize));
    text->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->document()->setDocumentMargin(16);
    text->setPlainText(*detailsText);
    layout->addWidget(text);
    m_detailsWindow = window;

    if (const std::optional<DisplayScreen> screen = originScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(toQRectF(screen->visibleFrame).center().toPoint());
        window->move(frame.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace vorlith
