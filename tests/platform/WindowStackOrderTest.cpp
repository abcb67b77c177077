#include "platform/WindowStackOrder.h"

#include <gtest/gtest.h>

#include <memory>

using namespace vorlith;

TEST(WindowStackOrder, LevelsFirstThenTheLastRaised)
{
    QWidget pin, overlay, toast, savePanel, alert, hint;
    WindowStackOrder order;
    // Added in an order that is not the level order.
    order.add(&toast, WindowLevel::toast);
    order.add(&alert, WindowLevel::reviewAlert);
    order.add(&overlay, WindowLevel::captureOverlay);
    order.add(&pin, WindowLevel::pin);
    order.add(&hint, WindowLevel::hintPanel);
    order.add(&savePanel, WindowLevel::savePanel);
    EXPECT_EQ(order.ordered(), (std::vector<QWidget*>{&pin, &overlay, &hint, &toast, &savePanel, &alert}));
    // Toast and save panel share a level: the one raised last is on top. Raising a lower
    // level changes nothing above it.
    order.raised(&toast);
    order.raised(&pin);
    EXPECT_EQ(order.ordered(), (std::vector<QWidget*>{&pin, &overlay, &hint, &savePanel, &toast, &alert}));
}

TEST(WindowStackOrder, ADialogStandsAtItsParentsLevelAndFollowsItUp)
{
    QWidget pin, otherPin, toast;
    auto dialog = std::make_unique<QWidget>();
    WindowStackOrder order;
    order.add(&pin, WindowLevel::pin);
    order.add(&toast, WindowLevel::toast);
    order.addDialog(dialog.get(), &pin, WindowLevel::normal);
    order.add(&otherPin, WindowLevel::pin);
    EXPECT_EQ(order.ordered(), (std::vector<QWidget*>{&pin, dialog.get(), &otherPin, &toast}));
    order.raised(&pin);
    EXPECT_EQ(order.ordered(), (std::vector<QWidget*>{&otherPin, &pin, dialog.get(), &toast}));
    // A window that has gone drops out.
    dialog.reset();
    EXPECT_EQ(order.ordered(), (std::vector<QWidget*>{&otherPin, &pin, &toast}));
}

TEST(WindowLevel, OnlyLevelsFromTheOverlaysUpBypassTheWindowManager)
{
    EXPECT_FALSE(windowLevel::bypassesWindowManager(WindowLevel::normal));
    EXPECT_FALSE(windowLevel::bypassesWindowManager(WindowLevel::pin));
    EXPECT_TRUE(windowLevel::staysOnTop(WindowLevel::pin));
    EXPECT_FALSE(windowLevel::staysOnTop(WindowLevel::normal));
    for (WindowLevel level : {WindowLevel::captureOverlay, WindowLevel::hintPanel, WindowLevel::toast,
                              WindowLevel::savePanel, WindowLevel::reviewAlert})
        EXPECT_TRUE(windowLevel::bypassesWindowManager(level)) << windowLevel::name(level);
}
