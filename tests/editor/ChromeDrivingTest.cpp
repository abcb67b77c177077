// The toolbar driven as a user would, with QTest on the offscreen platform.
#include "app/editor/chrome/ColorSwatch.h"
#include "app/editor/chrome/NumberStepper.h"
#include "app/editor/chrome/ShapeOptionButton.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolButton.h"
#include "editor/ChromeFixture.h"

#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Role = ToolProperties::FieldRole;

namespace {

// Records the presses that reach the canvas under the bar.
struct PressRecorder : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        presses += event->type() == QEvent::MouseButtonPress;
        return false;
    }
};

struct DragRecorder {
    int began = 0, dragged = 0, ended = 0;
    bool answer = true;
    QPointF lastEnd;

    void attach(CaptureToolbar* bar)
    {
        bar->onDragBegan = [this](const QMouseEvent&) {
            ++began;
            return answer;
        };
        bar->onDragged = [this](const QMouseEvent&) { ++dragged; };
        bar->onDragEnded = [this](const QMouseEvent& e) {
            ++ended;
            lastEnd = e.globalPosition();
        };
    }
};

const QPoint grip(364, 4); // the drag grip, on the bar's background

} // namespace

TEST(ChromeDriving, EveryButtonReportsItsKey)
{
    ChromeFixture f;
    f.toolbar->refresh(CaptureTool::select, true, true, false);
    for (const QString& key : f.toolbar->buttonKeys()) {
        SCOPED_TRACE(key.toStdString());
        f.actions.clear();
        QTest::mouseClick(f.toolbar->button(key), Qt::LeftButton);
        EXPECT_EQ(f.actions, std::vector<QString>{key});
    }
    // With onPin set, "pin" goes there instead.
    f.toolbar->onPin = [&] { ++f.pins; };
    f.actions.clear();
    QTest::mouseClick(f.toolbar->button("pin"), Qt::LeftButton);
    EXPECT_EQ(f.pins, 1);
    EXPECT_TRUE(f.actions.empty());
    // Busy: nothing is pressed.
    f.toolbar->refresh(CaptureTool::select, true, true, true);
    QTest::mouseClick(f.toolbar->button("copy"), Qt::LeftButton);
    EXPECT_TRUE(f.actions.empty());
    EXPECT_TRUE(f.canvas.hasFocus()) << "buttons never take the keyboard";
}

TEST(ChromeDriving, ADragOfTheBarReportsBeganDraggedAndEndedOnce)
{
    ChromeFixture f;
    DragRecorder drag;
    drag.attach(f.toolbar);
    QTest::mousePress(f.toolbar, Qt::LeftButton, {}, grip);
    EXPECT_TRUE(f.toolbar->dragging());
    EXPECT_EQ(f.toolbar->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseMove(f.toolbar, grip + QPoint(10, 5));
    QTest::mouseMove(f.toolbar, grip + QPoint(30, 12));
    QTest::mouseRelease(f.toolbar, Qt::LeftButton, {}, grip + QPoint(30, 12));
    EXPECT_EQ(drag.began, 1);
    EXPECT_EQ(drag.dragged, 2);
    EXPECT_EQ(drag.ended, 1);
    EXPECT_FALSE(f.toolbar->dragging());
    EXPECT_EQ(f.toolbar->cursor().shape(), Qt::OpenHandCursor);

    // The strip's background drags the bar as well.
    QWidget* strip = f.strip;
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseMove(strip, QPoint(40, 2));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(40, 2));
    EXPECT_EQ(drag.began, 2);
    EXPECT_EQ(drag.dragged, 3);
    EXPECT_EQ(drag.ended, 2);
}

TEST(ChromeDriving, ButtonsNeverStartADragAndARefusedPressGoesOn)
{
    ChromeFixture f;
    DragRecorder drag;
    drag.attach(f.toolbar);
    PressRecorder canvas;
    f.canvas.installEventFilter(&canvas);
    QTest::mouseClick(f.toolbar->button("arrow"), Qt::LeftButton);
    QTest::mouseClick(f.strip->shapeButtons()[0], Qt::LeftButton);
    EXPECT_EQ(drag.began, 0);
    EXPECT_EQ(canvas.presses, 0);

    drag.answer = false;
    QTest::mousePress(f.toolbar, Qt::LeftButton, {}, grip);
    EXPECT_EQ(drag.began, 1);
    EXPECT_FALSE(f.toolbar->dragging());
    EXPECT_EQ(canvas.presses, 1) << "the refused press reaches the view underneath";
    QTest::mouseRelease(f.toolbar, Qt::LeftButton, {}, grip);
    EXPECT_EQ(drag.ended, 0);
}

TEST(ChromeDriving, ALostReleaseEndsTheDragOnce)
{
    ChromeFixture f;
    DragRecorder drag;
    drag.attach(f.toolbar);
    QTest::mousePress(f.toolbar, Qt::LeftButton, {}, grip);
    QTest::mouseMove(f.toolbar, grip + QPoint(20, 0));
    const QPointF last = f.toolbar->mapToGlobal(QPointF(grip + QPoint(20, 0)));
    f.toolbar->hide();
    EXPECT_EQ(drag.ended, 1);
    EXPECT_EQ(drag.lastEnd, last) << "ended where the drag was last seen";
    EXPECT_FALSE(f.toolbar->dragging());
    f.toolbar->show();
    QTest::mouseRelease(f.toolbar, Qt::LeftButton, {}, grip);
    EXPECT_EQ(drag.ended, 1);

    // The release went to another window: the next hover over the bar, with no button held,
    // ends the drag.
    QWidget other;
    other.setGeometry(600, 600, 100, 100);
    other.show();
    QTest::mousePress(f.toolbar, Qt::LeftButton, {}, grip);
    ASSERT_TRUE(f.toolbar->dragging());
    QTest::mouseRelease(&other, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_FALSE(QGuiApplication::mouseButtons() & Qt::LeftButton);
    ASSERT_TRUE(f.toolbar->dragging()) << "the bar did not see that release";
    QHoverEvent hover(QEvent::HoverMove, QPointF(grip), QPointF(f.toolbar->mapToGlobal(grip)), QPointF(grip));
    QApplication::sendEvent(f.toolbar, &hover);
    EXPECT_EQ(drag.ended, 2);
    EXPECT_FALSE(f.toolbar->dragging());
}

TEST(ChromeDriving, AnInvalidWidthBlocksTheStripButNotTheToolbar)
{
    ChromeFixture f;
    DragRecorder drag;
    drag.attach(f.toolbar);
    f.toolbar->refresh(CaptureTool::shape, true, false, false);
    StripField* width = f.strip->field(Role::width);
    f.type(Role::width, "0");
    ASSERT_TRUE(width->hasFocus());

    // The strip's own controls do nothing.
    QTest::mouseClick(f.strip->swatches()[2], Qt::LeftButton);
    QTest::mouseClick(f.strip->shapeButtons()[1], Qt::LeftButton);
    QTest::mouseClick(f.strip->stepper(Role::width), Qt::LeftButton, {}, QPoint(7, 3));
    EXPECT_TRUE(f.changes.empty());
    EXPECT_TRUE(f.shapeChoices.empty());
    EXPECT_EQ(f.strip->annotationStyle().width, 2);
    EXPECT_TRUE(width->hasFocus());
    EXPECT_EQ(width->text(), "0");

    // Toolbar buttons still report their keys; the editor flushes before it acts on them.
    QTest::mouseClick(f.toolbar->button("undo"), Qt::LeftButton);
    QTest::mouseClick(f.toolbar->button("arrow"), Qt::LeftButton);
    EXPECT_EQ(f.actions, (std::vector<QString>{"undo", "arrow"}));
    EXPECT_TRUE(width->hasFocus()) << "a click on the bar leaves the keyboard in the field";
    EXPECT_FALSE(f.strip->flushPendingInputs());

    // Fixed by typing: Return applies it and the strip works again.
    f.type(Role::width, "5");
    QTest::keyClick(width, Qt::Key_Return);
    ASSERT_EQ(f.changes.size(), 1u);
    EXPECT_EQ(f.changes.back().width, 5);
    QTest::mouseClick(f.strip->shapeButtons()[1], Qt::LeftButton);
    EXPECT_EQ(f.shapeChoices, std::vector<Annotation::Kind>{Annotation::Kind::ellipse});
}

TEST(ChromeDriving, HoverReportsAndButtonsFollowThePointer)
{
    ChromeFixture f;
    int hovers = 0;
    f.toolbar->onHover = [&] { ++hovers; };
    QHoverEvent enter(QEvent::HoverEnter, QPointF(grip), QPointF(f.toolbar->mapToGlobal(grip)), QPointF(-1, -1));
    QApplication::sendEvent(f.toolbar, &enter);
    QHoverEvent move(QEvent::HoverMove, QPointF(grip + QPoint(1, 0)), QPointF(f.toolbar->mapToGlobal(grip)), QPointF(grip));
    QApplication::sendEvent(f.toolbar, &move);
    EXPECT_EQ(hovers, 2);

    ToolButton* save = f.toolbar->button("save");
    QHoverEvent in(QEvent::HoverEnter, QPointF(5, 5), QPointF(save->mapToGlobal(QPoint(5, 5))), QPointF(-1, -1));
    QApplication::sendEvent(save, &in);
    EXPECT_TRUE(save->hovered());
    EXPECT_EQ(save->cursor().shape(), Qt::ArrowCursor);
    QHoverEvent out(QEvent::HoverLeave, QPointF(-1, -1), QPointF(-1, -1), QPointF(5, 5));
    QApplication::sendEvent(save, &out);
    EXPECT_FALSE(save->hovered());
}
