// The overlay window and the overlay set against the window service's fake: who may take the
// keyboard, which windows are reused, which window becomes key, what ending a capture leaves.
#include "app/capture/FrozenDisplay.h"
#include "app/editor/CaptureOverlaySet.h"
#include "support/FakeFloatingWindows.h"
#include "support/TestSupport.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace vorlith;
using namespace vorlith::test;

namespace {

OverlayDisplay display(quint32 id, int x, int width = 800, double scale = 1)
{
    return OverlayDisplay{id, QRect(x, 0, width, 600), QRect(x, 0, int(width * scale), int(600 * scale)), scale};
}

struct SetStage {
    std::shared_ptr<FakeFloatingWindows> floating = std::make_shared<FakeFloatingWindows>();
    CaptureOverlaySet set{floating};
};

} // namespace

TEST(CaptureOverlayWindow, CanBecomeKeyOnlyWhileItAcceptsCaptureInputAndNeverMain)
{
    auto floating = std::make_shared<FakeFloatingWindows>();
    CaptureOverlayWindow window(floating, 7, QRect(0, 0, 400, 300), QRect(0, 0, 400, 300), 1);
    EXPECT_TRUE(window.acceptsCaptureInput()) << "made accepting";
    EXPECT_FALSE(window.canBecomeMain());
    ASSERT_NE(floating->placed(&window), nullptr);
    EXPECT_EQ(floating->placed(&window)->level, WindowLevel::captureOverlay);

    window.orderFront();
    window.setAcceptsCaptureInput(false);
    EXPECT_FALSE(window.canBecomeKey());
    EXPECT_FALSE(window.makeKey());
    EXPECT_TRUE(floating->activations.empty()) << "a refused overlay is never activated";
    EXPECT_EQ(floating->keyboardGrabWindow(), nullptr) << "nor does it hold the keyboard";
    EXPECT_FALSE(window.canBecomeMain());

    window.setAcceptsCaptureInput(true);
    EXPECT_TRUE(window.makeKey());
    ASSERT_EQ(floating->activations.size(), 1u);
    EXPECT_EQ(floating->activations.front(), &window);
    EXPECT_EQ(floating->keyboardGrabWindow(), &window);
    EXPECT_FALSE(window.canBecomeMain());

    window.orderOut();
    EXPECT_EQ(floating->keyboardGrabWindow(), nullptr) << "ordering out gives the keyboard up";
}

TEST(CaptureOverlayWindow, ContentFillsTheWindowTakesItsFocusAndIsHandedBack)
{
    auto floating = std::make_shared<FakeFloatingWindows>();
    CaptureOverlayWindow window(floating, 7, QRect(100, 50, 400, 300), QRect(150, 75, 600, 450), 1.5);
    QPointer<QWidget> content = new QWidget;
    content->setFocusPolicy(Qt::StrongFocus);
    window.setContent(content);
    EXPECT_EQ(content->parentWidget(), &window);
    EXPECT_EQ(content->geometry(), window.rect());

    window.orderFront();
    ASSERT_EQ(floating->pixelGeometries.size(), 1u);
    EXPECT_EQ(floating->pixelGeometries.front().second, QRect(150, 75, 600, 450)) << "placed on its exact pixels";
    window.resize(500, 320); // as the server's exact size can differ from the logical one by a point
    EXPECT_EQ(content->geometry(), QRect(0, 0, 500, 320));
    EXPECT_TRUE(window.makeKey());
    EXPECT_TRUE(runUntil([&] { return content->hasFocus(); }));

    QWidget* taken = window.takeContent();
    EXPECT_EQ(taken, content.data());
    EXPECT_EQ(window.content(), nullptr);
    EXPECT_EQ(taken->parentWidget(), nullptr);
    EXPECT_FALSE(taken->isVisible());
    EXPECT_EQ(window.takeContent(), nullptr);
    taken->deleteLater();
    EXPECT_TRUE(runUntil([&] { return content.isNull(); }));
}

// Windows are reused for displays that stand where they stood at the same scale; a moved,
// resized, rescaled or new display gets a new window, and a display that went away loses its.
TEST(CaptureOverlaySet, ReusesWindowsOfUnchangedDisplaysOnly)
{
    SetStage stage;
    const std::vector<CaptureOverlayWindow*> first = stage.set.prepare({display(1, 0), display(2, 800)});
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(stage.set.windowsMade(), 2);

    struct Case {
        const char* name;
        std::vector<OverlayDisplay> displays;
        std::vector<bool> reused; // per display of the new list: the original window of that id
    };
    const Case cases[] = {
        {"unchanged", {display(1, 0), display(2, 800)}, {true, true}},
        {"order changed", {display(2, 800), display(1, 0)}, {true, true}},
        {"second moved", {display(1, 0), display(2, 900)}, {true, false}},
        {"second resized", {display(1, 0), display(2, 800, 1024)}, {true, false}},
        {"first rescaled", {display(1, 0, 800, 1.5), display(2, 800)}, {false, true}},
        {"a display added", {display(1, 0), display(2, 800), display(3, 1600)}, {true, true, false}},
        {"a display removed", {display(2, 800)}, {true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Start each case from the original two windows.
        const std::vector<CaptureOverlayWindow*>& base = stage.set.prepare({display(1, 0), display(2, 800)});
        std::vector<QPointer<CaptureOverlayWindow>> before(base.begin(), base.end());
        const std::vector<CaptureOverlayWindow*> after = stage.set.prepare(c.displays);
        ASSERT_EQ(after.size(), c.displays.size());
        for (std::size_t i = 0; i < after.size(); ++i) {
            EXPECT_EQ(after[i]->displayID(), c.displays[i].id);
            EXPECT_EQ(after[i]->pixelFrame(), c.displays[i].pixels);
            const bool same = std::any_of(before.begin(), before.end(),
                                          [&](const QPointer<CaptureOverlayWindow>& w) { return w == after[i]; });
            EXPECT_EQ(same, c.reused[i]) << "display " << c.displays[i].id;
        }
        for (const QPointer<CaptureOverlayWindow>& w : before) {
            if (std::find(after.begin(), after.end(), w.data()) == after.end()) {
                EXPECT_TRUE(w.isNull()) << "a window no display uses is released";
            }
        }
    }
}

// The key overlay: the display asked for, else the one under the pointer, else the first;
// every window is shown first.
TEST(CaptureOverlaySet, PresentShowsEveryWindowAndMakesOneKey)
{
    SetStage stage;
    const std::vector<CaptureOverlayWindow*> windows = stage.set.prepare({display(1, 0), display(2, 800), display(3, 1600)});
    stage.set.present(3u);
    for (CaptureOverlayWindow* window : windows)
        EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(stage.set.isShown());
    ASSERT_FALSE(stage.floating->activations.empty());
    EXPECT_EQ(stage.floating->activations.back(), windows[2]);
    EXPECT_EQ(stage.floating->keyboardGrabWindow(), windows[2]);
    (void)stage.set.finish();

    stage.floating->activations.clear();
    stage.set.prepare({display(1, 0), display(2, 800), display(3, 1600)});
    stage.set.present(99u); // a display that is not there: the pointer decides (or the first)
    ASSERT_EQ(stage.floating->activations.size(), 1u);
    const QPoint pointer = QCursor::pos();
    CaptureOverlayWindow* expected = windows[0];
    for (CaptureOverlayWindow* window : windows)
        if (window->frame().contains(pointer)) {
            expected = window;
            break;
        }
    EXPECT_EQ(stage.floating->activations.back(), expected);
    (void)stage.set.finish();
}

// Ending a capture: every window off the screen with its content taken and the keyboard given
// up; the contents come back to the owner, still alive, for deleteLater().
TEST(CaptureOverlaySet, FinishOrdersOutAndHandsBackTheContents)
{
    SetStage stage;
    const std::vector<CaptureOverlayWindow*> windows = stage.set.prepare({display(1, 0), display(2, 800)});
    std::vector<QPointer<QWidget>> contents;
    for (CaptureOverlayWindow* window : windows) {
        contents.emplace_back(new QWidget);
        window->setContent(contents.back());
    }
    stage.set.present(std::nullopt);
    ASSERT_NE(stage.floating->keyboardGrabWindow(), nullptr);

    const std::vector<QWidget*> handed = stage.set.finish();
    EXPECT_FALSE(stage.set.isShown());
    ASSERT_EQ(handed.size(), 2u);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        EXPECT_FALSE(windows[i]->isVisible());
        EXPECT_EQ(windows[i]->content(), nullptr);
        EXPECT_EQ(handed[i], contents[i].data());
        EXPECT_EQ(handed[i]->parentWidget(), nullptr);
    }
    EXPECT_EQ(stage.floating->keyboardGrabWindow(), nullptr);
    EXPECT_TRUE(stage.floating->keyboardHolders().empty());
    for (QWidget* content : handed)
        content->deleteLater();
    EXPECT_TRUE(runUntil([&] { return contents[0].isNull() && contents[1].isNull(); }));
}

TEST(OverlayDisplay, TakesItsPixelsFromTheFrozenImage)
{
    FrozenDisplay frame;
    frame.id = 42;
    frame.screenFrame = Rect(1366, 0, 910.6666666, 512);
    frame.backingScale = 1.5;
    frame.image = QImage(1366, 768, QImage::Format_ARGB32_Premultiplied);
    const OverlayDisplay d = OverlayDisplay::of(frame);
    EXPECT_EQ(d.id, 42u);
    EXPECT_EQ(d.pixels, QRect(1366, 0, 1366, 768)) << "never the rounded logical size times the scale";
    EXPECT_EQ(d.frame, QRect(1366, 0, 911, 512));
    EXPECT_EQ(d.scale, 1.5);
}
