#pragma once

#include <QRect>
#include <QString>

#include <functional>
#include <optional>

class QMenu;

namespace vorlith {

// The program's icon in the desktop's tray (the status item) and the menu opened from it.
// The menu is never attached to the icon: its owner opens it on each click, so that it can
// prepare what the menu offers first. Main thread only.
class StatusItemHost {
public:
    virtual ~StatusItemHost() = default;

    // Shows the icon with its tool tip. Without a tray host it stays ready and docks when
    // one appears.
    virtual void install(const QString& toolTip) = 0;
    // Whether a tray host shows the icon now.
    virtual bool isAvailable() const = 0;
    // The icon's place on the screen (global logical); absent when unknown.
    virtual std::optional<QRect> iconGeometry() const = 0;
    // Opens the menu beside the icon (at the pointer when the icon's place is unknown) and
    // returns when it has closed. Runs a nested event loop.
    virtual void runMenu(QMenu& menu) = 0;

    // A click of either button on the icon.
    std::function<void()> onActivated;
};

} // namespace vorlith
