#pragma once

#include "platform/StatusItemHost.h"

#include <QMenu>

#include <functional>

namespace vorlith::test {

// A tray that records what it was asked and runs `whileMenuOpen` in place of the menu's
// own loop (the menu counts as open meanwhile); `click()` is a click on the icon.
class FakeStatusItemHost final : public StatusItemHost {
public:
    void install(const QString& toolTip) override
    {
        ++installs;
        installedToolTip = toolTip;
    }
    bool isAvailable() const override { return available; }
    std::optional<QRect> iconGeometry() const override { return geometry; }
    void runMenu(QMenu& menu) override
    {
        ++menusRun;
        lastMenu = &menu;
        // What QMenu::exec sends around its loop.
        emit menu.aboutToShow();
        if (whileMenuOpen)
            whileMenuOpen(menu);
        emit menu.aboutToHide();
    }
    void click()
    {
        if (onActivated)
            onActivated();
    }

    bool available = true;
    std::optional<QRect> geometry;
    std::function<void(QMenu&)> whileMenuOpen;
    int installs = 0;
    QString installedToolTip;
    int menusRun = 0;
    QMenu* lastMenu = nullptr;
};

} // namespace vorlith::test
