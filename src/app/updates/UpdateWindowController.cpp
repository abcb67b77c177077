#include "app/updates/UpdateWindowController.h"

#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/LightPalette.h"
#include "app/base/UnflippedFrame.h"
#include "app/base/panel/PanelFooterView.h"
#include "app/base/panel/PanelPrimaryButton.h"
#include "app/base/panel/PanelSecondaryButton.h"
#include "app/base/panel/PanelWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>

#include <cmath>

namespace vorlith {

// The window itself: its close (title bar, Escape, the secondary button) only hides it and
// hands over to the controller.
class UpdateWindowController::Window : public PanelWindow {
public:
    explicit Window(UpdateWindowController& owner) : m_owner(owner) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        // Hidden before the close action runs: a step that action starts finds the window
        // hidden and shows it, instead of being hidden with it.
        hide();
        m_owner.windowWillClose();
    }

    // Escape is the secondary button's key: it closes the window like the button does.
    void escape() override { m_owner.performClose(); }

private:
    UpdateWindowController& m_owner;
};

UpdateWindowController::UpdateWindowController() : m_window(std::make_unique<Window>(*this))
{
    QWidget& window = *m_window;
    window.setWindowTitle(QString::fromUtf8(title));
    window.setFixedSize(width, height);
    applyLightPalette(window);

    // Frames are measured from the window's bottom-left corner.
    auto* footer = new PanelFooterView(&window);
    footer->setFillColor(InterfaceColors::panelBand());
    UnflippedFrame::place(footer, {0, 0, double(width), 59});

    // A feed's text is shown as written, never as markup.
    m_heading = makePanelLabel(&window, {}, InterfaceFonts::system(17, InterfaceFonts::Weight::semibold), InterfaceColors::ink());
    UnflippedFrame::place(m_heading, {28, 210, 364, 28});
    m_detail = makePanelLabel(&window, {}, InterfaceFonts::system(12), InterfaceColors::secondary());
    m_detail->setWordWrap(true);
    m_detail->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    UnflippedFrame::place(m_detail, {28, 108, 364, 92});

    m_progress = new QProgressBar(&window);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 0);
    UnflippedFrame::place(m_progress, {28, 82, 364, 12});
    m_progress->hide();

    auto* primary = new PanelPrimaryButton(QString(), &window);
    primary->setAutoDefault(false);
    primary->setFont(InterfaceFonts::system(12));
    QObject::connect(primary, &QPushButton::clicked, primary, [this] { performPrimary(); });
    m_primary = primary;

    auto* secondary = new PanelSecondaryButton(QStringLiteral("关闭"), &window);
    secondary->setAutoDefault(false);
    secondary->setFont(InterfaceFonts::system(12));
    QObject::connect(secondary, &QPushButton::clicked, secondary, [this] { performClose(); });
    m_secondary = secondary;
    layoutActions();
    // The window itself holds the keyboard: no button wears a focus ring until Tab is
    // pressed, and Escape reaches the window.
    window.setFocusPolicy(Qt::StrongFocus);
    window.setFocus();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(width / 2, height / 2));
    }
}

UpdateWindowController::~UpdateWindowController() = default;

QWidget* UpdateWindowController::window() const
{
    return m_window.get();
}

UpdateWindowController::ButtonFrames UpdateWindowController::buttonFrames(double primaryTitleWidth,
                                                                          double secondaryTitleWidth, bool primaryShown)
{
    const double p = std::ceil(primaryTitleWidth) + 24;
    const double s = std::ceil(secondaryTitleWidth) + 24;
    const double w = std::max(primaryShown && p > s ? p : s, 70.0);
    const Rect primary{392 - w, 15, w, 28};
    const Rect secondary = primaryShown ? Rect{392 - 2 * w - 9, 15, w, 28} : primary;
    return {primary, secondary};
}

void UpdateWindowController::layoutActions()
{
    // The primary title is drawn semibold, the secondary one regular, both 12.
    const QFont primaryFont = InterfaceFonts::system(12, InterfaceFonts::Weight::semibold);
    const double primaryWidth = QFontMetricsF(primaryFont).horizontalAdvance(m_primary->text());
    const double secondaryWidth = QFontMetricsF(m_secondary->font()).horizontalAdvance(m_secondary->text());
    const ButtonFrames frames = buttonFrames(primaryWidth, secondaryWidth, !m_primary->isHidden());
    UnflippedFrame::place(m_primary, frames.primary);
    UnflippedFrame::place(m_secondary, frames.secondary);
}

void UpdateWindowController::apply(UpdateWindowStep step)
{
    m_heading->setText(step.heading);
    m_detail->setText(step.detail);
    m_primary->setText(step.primaryTitle);
    m_primary->setHidden(!step.primaryVisible);
    primaryAction = std::move(step.primaryAction);
    m_secondary->setText(step.secondaryTitle);
    layoutActions();
    closeAction = std::move(step.closeAction);
    setProgress(step.progress);
    showWindow();
}

void UpdateWindowController::setProgress(const UpdateProgress& progress)
{
    if (progress.fraction) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(static_cast<int>(std::lround(*progress.fraction * 1000)));
    } else {
        m_progress->setRange(0, 0);
    }
    m_progress->setHidden(!progress.shown);
}

void UpdateWindowController::runTakingBoth(std::function<void()> UpdateWindowController::*which)
{
    // Both are cleared before either runs, so whichever runs first runs alone.
    std::function<void()> action = std::move(this->*which);
    primaryAction = nullptr;
    closeAction = nullptr;
    if (action)
        action();
}

void UpdateWindowController::performPrimary()
{
    runTakingBoth(&UpdateWindowController::primaryAction);
}

void UpdateWindowController::performClose()
{
    m_window->close();
}

void UpdateWindowController::windowWillClose()
{
    runTakingBoth(&UpdateWindowController::closeAction);
}

void UpdateWindowController::showWindow()
{
    if (m_window->isVisible())
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void UpdateWindowController::bringToFront()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void UpdateWindowController::dismiss()
{
    primaryAction = nullptr;
    closeAction = nullptr;
    m_window->hide();
}

} // namespace vorlith
