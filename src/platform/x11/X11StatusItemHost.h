#pragma once

#include "platform/StatusItemHost.h"

#include <QObject>

#include <memory>

class QSystemTrayIcon;
class QTimer;

namespace vorlith {

// The status item on X11: a QSystemTrayIcon (the XEmbed system tray) with the 18 and 36 pixel
// icons. Qt docks the icon whenever a tray host appears, so it is shown even without one; the
// owner logs "statusItem.unavailable" when none shows it.
class X11StatusItemHost final : public QObject, public StatusItemHost {
    Q_OBJECT
public:
    explicit X11StatusItemHost(QObject* parent = nullptr);
    ~X11StatusItemHost() override;

    void install(const QString& toolTip) override;
    bool isAvailable() const override;
    std::optional<QRect> iconGeometry() const override;
    void runMenu(QMenu& menu) override;

    // The icon: 18 × 18 and 36 × 36 pixels.
    [[nodiscard]] static QIcon icon();

private:
    std::unique_ptr<QSystemTrayIcon> m_tray;
    bool m_menuOpen = false;
};

} // namespace vorlith
