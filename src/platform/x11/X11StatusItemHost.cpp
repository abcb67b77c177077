#include "platform/x11/X11StatusItemHost.h"

#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>

// Resources of a static library are registered by hand, outside any namespace.
static void registerTrayIconResource()
{
    Q_INIT_RESOURCE(TrayIcon);
}

namespace vorlith {

namespace {

// Where a menu of this size stands beside an icon: below it when it fits on the icon's
// screen, else above it; kept inside the screen horizontally.
QPoint menuOrigin(const QRect& icon, const QSize& menu)
{
    QScreen* screen = QGuiApplication::screenAt(icon.center());
    const QRect area = screen ? screen->availableGeometry() : QRect(icon.topLeft(), menu);
    QPoint origin(icon.left(), icon.bottom() + 1);
    if (origin.y() + menu.height() > area.bottom() + 1)
        origin.setY(icon.top() - menu.height());
    origin.setX(std::clamp(origin.x(), area.left(), std::max(area.left(), area.right() + 1 - menu.width())));
    return origin;
}

} // namespace

X11StatusItemHost::X11StatusItemHost(QObject* parent) : QObject(parent) {}

X11StatusItemHost::~X11StatusItemHost() = default;

QIcon X11StatusItemHost::icon()
{
    static const bool registered = (registerTrayIconResource(), true);
    Q_UNUSED(registered);
    QIcon icon;
    icon.addFile(QStringLiteral(":/vorlith/tray-18.png"), QSize(18, 18));
    icon.addFile(QStringLiteral(":/vorlith/tray-36.png"), QSize(36, 36));
    return icon;
}

void X11StatusItemHost::install(const QString& toolTip)
{
    if (m_tray)
        return;
    m_tray = std::make_unique<QSystemTrayIcon>(icon());
    m_tray->setToolTip(toolTip);
    connect(m_tray.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context)
            return;
        // A click that closes the open menu reaches the icon too: it only closes the menu.
        if (m_menuOpen)
            return;
        if (onActivated)
            onActivated();
    });
    m_tray->show();
}

bool X11StatusItemHost::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable() && m_tray && m_tray->isVisible();
}

std::optional<QRect> X11StatusItemHost::iconGeometry() const
{
    if (!m_tray)
        return std::nullopt;
    const QRect geometry = m_tray->geometry();
    if (geometry.isEmpty())
        return std::nullopt;
    return geometry;
}

void X11StatusItemHost::runMenu(QMenu& menu)
{
    m_menuOpen = true;
    const std::optional<QRect> icon = iconGeometry();
    const QPoint at = icon ? menuOrigin(*icon, menu.sizeHint()) : QCursor::pos();
    menu.exec(at);
    m_menuOpen = false;
}

} // namespace vorlith
