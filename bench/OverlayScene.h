#pragma once

// What the overlay benchmarks set on the screen and look for there: the editor's dimming over
// a colour, and a window of this program on each monitor for the editors to preselect.

#include "app/base/InterfaceColors.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>
#include <QRgb>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <memory>
#include <vector>

namespace vorlith::bench {

// The editor's dimming over a colour.
inline QRgb dimmed(QRgb colour)
{
    const QColor mask = InterfaceColors::captureMask();
    const double a = mask.alphaF();
    const auto mix = [a](int under, int over) { return int(std::lround(under * (1 - a) + over * a)); };
    return qRgb(mix(qRed(colour), mask.red()), mix(qGreen(colour), mask.green()), mix(qBlue(colour), mask.blue()));
}

// This program's windows, one on each monitor: the front program's, which the editors preselect.
inline std::vector<std::unique_ptr<QWidget>> frontWindows()
{
    std::vector<std::unique_ptr<QWidget>> windows;
    for (QScreen* screen : QGuiApplication::screens()) {
        auto window = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
        window->setAutoFillBackground(true);
        QPalette palette = window->palette();
        palette.setColor(QPalette::Window, QColor(40, 160, 90));
        window->setPalette(palette);
        window->setGeometry(QRect(screen->geometry().topLeft() + QPoint(200, 200), QSize(300, 200)));
        window->show();
        windows.push_back(std::move(window));
    }
    return windows;
}

} // namespace vorlith::bench
