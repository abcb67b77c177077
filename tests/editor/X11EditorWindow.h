#pragma once

#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QPoint>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace vorlith::test {

// Shows an editor as a top-level window titled "editor" on the test's X server, at a global
// point, and gives it the keyboard.
inline void showWithKeyboard(QWidget& view, QPoint at)
{
    view.setWindowTitle(QStringLiteral("editor"));
    view.move(at);
    view.show();
    view.activateWindow();
    EXPECT_TRUE(runUntil([&] { return QGuiApplication::focusWindow() == view.windowHandle(); }));
    view.setFocus();
}

} // namespace vorlith::test
