#include "app/pins/PinEnvironment.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace vorlith {

namespace {

DisplayScreen displayOf(const QScreen* screen)
{
    return {std::nullopt, toRect(QRectF(screen->geometry())), toRect(QRectF(screen->availableGeometry()))};
}

} // namespace

PinEnvironment PinEnvironment::system(std::shared_ptr<FloatingWindows> windows)
{
    PinEnvironment environment;
    environment.windows = std::move(windows);
    environment.screens = [] {
        std::vector<DisplayScreen> screens;
        QScreen* primary = QGuiApplication::primaryScreen();
        if (primary)
            screens.push_back(displayOf(primary));
        for (QScreen* screen : QGuiApplication::screens())
            if (screen != primary)
                screens.push_back(displayOf(screen));
        return screens;
    };
    environment.mainScreen = []() -> std::optional<DisplayScreen> {
        const QWindow* focus = QGuiApplication::focusWindow();
        if (focus && focus->screen())
            return displayOf(focus->screen());
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            return displayOf(primary);
        return std::nullopt;
    };
    environment.pointer = [] {
        const QPoint p = QCursor::pos();
        return Point{double(p.x()), double(p.y())};
    };
    return environment;
}

} // namespace vorlith
