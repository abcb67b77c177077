#include "app/shell/AboutWindowController.h"

#include "app/base/AppIcon.h"
#include "app/base/InterfaceColors.h"
#include "app/base/InterfaceFonts.h"
#include "app/base/LightPalette.h"
#include "app/base/YUpSpace.h"
#include "app/base/panel/PanelWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>

namespace vorlith {

// The window: Escape closes it like the close button does; closing only hides it.
class AboutWindowController::Window : public PanelWindow {
public:
    explicit Window(AboutWindowController& owner) : m_owner(owner) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        if (m_owner.onClosed)
            m_owner.onClosed();
    }

private:
    AboutWindowController& m_owner;
};

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, const QFont& font, const QColor& color, const Rect& yUp)
{
    QLabel* label = makePanelLabel(parent, text, font, color);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setGeometry(toQRectF(YUpSpace::ofView(AboutWindowController::height).toYDown(yUp)).toRect());
    return label;
}

} // namespace

AboutWindowController::AboutWindowController(ApplicationVersionInfo info)
    : m_info(std::move(info)), m_window(std::make_unique<Window>(*this))
{
    QWidget& window = *m_window;
    window.setWindowTitle(QString::fromUtf8(title));
    window.setFixedSize(width, height);
    window.setAttribute(Qt::WA_QuitOnClose, false);
    applyLightPalette(window);
    window.setFocusPolicy(Qt::StrongFocus);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(width / 2, height / 2));
    }
    build();
}

AboutWindowController::~AboutWindowController() = default;

QWidget* AboutWindowController::window() const
{
    return m_window.get();
}

void AboutWindowController::build()
{
    QWidget* view = m_window.get();
    m_icon = new QLabel(view);
    QPixmap pixmap = QPixmap::fromImage(appIcon());
    pixmap.setDevicePixelRatio(pixmap.width() / iconFrame.width());
    m_icon->setPixmap(pixmap);
    m_icon->setGeometry(toQRectF(YUpSpace::ofView(height).toYDown(iconFrame)).toRect());

    m_name = makeLabel(view, m_info.name, InterfaceFonts::system(22, InterfaceFonts::Weight::semibold),
                       InterfaceColors::ink(), nameFrame);
    m_tagline = makeLabel(view, QString::fromUtf8(tagline), InterfaceFonts::system(13), InterfaceColors::secondary(),
                          taglineFrame);
    m_version = makeLabel(view, QStringLiteral("版本 ") + m_info.version, InterfaceFonts::system(12),
                          InterfaceColors::secondary(), versionFrame);
    m_release = makeLabel(view, QStringLiteral("发布时间  ") + m_info.releaseDate, InterfaceFonts::system(11),
                          InterfaceColors::secondary(), releaseFrame);
}

void AboutWindowController::showWindow()
{
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    m_window->setFocus();
}

} // namespace vorlith
