#include "app/editor/EditorCursors.h"
#include "app/editor/EditorDocument.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinGeometry.h"
#include "app/pins/PinResizeView.h"
#include "app/pins/PinScaleView.h"
#include "pins/PinFixtures.h"

#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// Mouse events as the content view gets them, by global position.
void mouse(QWidget* view, QEvent::Type type, QPointF global, Qt::MouseButton button = Qt::LeftButton,
           Qt::MouseButtons held = Qt::LeftButton)
{
    QMouseEvent event(type, view->mapFromGlobal(global), global, global, button, held, Qt::NoModifier);
    QApplication::sendEvent(view, &event);
}

void drag(QWidget* view, QPointF from, QPointF to)
{
    mouse(view, QEvent::MouseButtonPress, from);
    mouse(view, QEvent::MouseMove, (from + to) / 2, Qt::NoButton);
    mouse(view, QEvent::MouseMove, to, Qt::NoButton);
}

bool escape(QWidget* view)
{
    QKeyEvent event(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, 9, 0, 0);
    QApplication::sendEvent(view, &event);
    return event.isAccepted();
}

bool wheel(QWidget* view, QPointF global, QPoint pixel, QPoint angle)
{
    QWheelEvent event(view->mapFromGlobal(global), global, pixel, angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
    return event.isAccepted();
}

QPointF globalOf(const PinWindowController& pin, QPointF local)
{
    return QPointF(pin.contentWindow()->geometry().topLeft()) + local;
}

} // namespace

TEST(PinInteraction, DragMovesThePinAndEscPutsItBack)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    PinContentView* view = pin->content();
    const DocumentViewport before = pin->viewport();
    const QPointF press = globalOf(*pin, QPointF(200, 150));
    drag(view, press, press + QPointF(30, -20));
    EXPECT_EQ(pin->viewport().screenOrigin(), (before.screenOrigin() + Point{30, -20}));
    EXPECT_EQ(pin->contentWindow()->geometry().topLeft() - pinGeometry::windowRect(before.screenRect()).topLeft(),
              QPoint(30, -20));
    EXPECT_TRUE(view->hasGesture());
    EXPECT_TRUE(QGuiApplication::overrideCursor());
    EXPECT_TRUE(escape(view));
    EXPECT_EQ(pin->viewport(), before);
    EXPECT_FALSE(view->hasGesture());
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    // Esc with nothing armed does nothing, and nothing else sees the key.
    EXPECT_TRUE(escape(view));
    EXPECT_EQ(pin->viewport(), before);

    // A release keeps the move.
    drag(view, press, press + QPointF(30, -20));
    mouse(view, QEvent::MouseButtonRelease, press + QPointF(30, -20), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(view->hasGesture());
    EXPECT_FALSE(QGuiApplication::overrideCursor());
    EXPECT_EQ(pin->viewport().screenOrigin(), (before.screenOrigin() + Point{30, -20}));
}

TEST(PinInteraction, EdgeAndCornerDragsResizeAboutTheOppositeSide)
{
    PinFixture f(solidImage(QSize(400, 200), Qt::gray), Size{400, 200});
    auto pin = f.pin(Rect(0, 0, 400, 200));
    pin->apply(*DocumentViewport::make(Rect(0, 0, 400, 200), Point{300, 300}, 0.5));
    pin->show();
    PinContentView* view = pin->content();
    // The right edge, 100 to the right: 0.75, the left edge fixed.
    drag(view, globalOf(*pin, QPointF(199, 50)), globalOf(*pin, QPointF(299, 50)));
    EXPECT_EQ(view->resizeHandle(), SelectionHandle::right);
    EXPECT_EQ(view->cursor().shape(), Qt::SizeHorCursor);
    EXPECT_NEAR(pin->viewport().scale(), 0.75, 1e-12);
    EXPECT_EQ(pin->viewport().screenRect().minX(), 300);
    escape(view);
    EXPECT_EQ(pin->viewport().scale(), 0.5);
    // Forwarded from the top-left corner panel, 8 points outside the image: about the
    // bottom-right corner.
    PinResizeView* corner = pin->resizeView(0);
    const QPointF at = globalOf(*pin, QPointF(-8, -8));
    QEnterEvent enter(corner->mapFromGlobal(at), corner->mapFromGlobal(at), at);
    QApplication::sendEvent(corner, &enter);
    EXPECT_EQ(corner->cursor().shape(), editorCursors::diagonalDown().shape());
    mouse(corner, QEvent::MouseButtonPress, at);
    mouse(corner, QEvent::MouseMove, at + QPointF(100, 50), Qt::NoButton);
    EXPECT_EQ(view->resizeHandle(), SelectionHandle::topLeft);
    EXPECT_NEAR(pin->viewport().scale(), 0.25, 1e-12);
    EXPECT_EQ(pin->viewport().screenRect().maxX(), 500);
    EXPECT_EQ(pin->viewport().screenRect().maxY(), 400);
    mouse(corner, QEvent::MouseButtonRelease, at + QPointF(100, 50), Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(view->hasGesture());
}

TEST(PinInteraction, WheelZoomsAboutThePointerOutsideEditModeOnly)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    PinContentView* view = pin->content();
    const QPointF at = globalOf(*pin, QPointF(100, 80));
    const Point under = pin->viewport().documentPoint(Point{at.x(), at.y()});
    EXPECT_TRUE(wheel(view, at, QPoint(0, 15), QPoint(0, 120)));
    EXPECT_NEAR(pin->viewport().scale(), std::exp(0.1), 1e-12);
    const Point after = pin->viewport().documentPoint(Point{at.x(), at.y()});
    EXPECT_NEAR(after.x, under.x, 1e-9);
    EXPECT_NEAR(after.y, under.y, 1e-9);
    EXPECT_EQ(pin->scaleLabel()->percentage(), 111);
    // Refused activation swallows the event.
    pin->onRequestActivation = [](const QUuid&) { return false; };
    const double scale = pin->viewport().scale();
    EXPECT_TRUE(wheel(view, at, QPoint(), QPoint(0, 120)));
    EXPECT_EQ(pin->viewport().scale(), scale);
    pin->onRequestActivation = nullptr;
    // In edit mode the content view leaves the wheel to the editor.
    pin->isEditing = true;
    EXPECT_FALSE(wheel(view, at, QPoint(), QPoint(0, 120)));
    EXPECT_EQ(pin->viewport().scale(), scale);
    pin->isEditing = false;
    // Bad factors and busy or blocked pins change nothing.
    for (double bad : {0.0, -2.0, double(INFINITY), double(NAN)})
        pin->scale(bad, Point{at.x(), at.y()});
    EXPECT_EQ(pin->viewport().scale(), scale);
    const std::optional<QUuid> token = f.document->session.beginOutput();
    pin->scale(2, Point{at.x(), at.y()});
    pin->resetScale();
    EXPECT_EQ(pin->viewport().scale(), scale);
    f.document->session.finishOutput(*token, false);
    pin->resetScale();
    EXPECT_EQ(pin->viewport().scale(), 1);
}

TEST(PinInteraction, DoubleClickAsksForEditModeOnly)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    const QPointF at = globalOf(*pin, QPointF(200, 150));
    const DocumentViewport before = pin->viewport();
    // Without onRequestEdit: activation only, no gesture.
    mouse(pin->content(), QEvent::MouseButtonDblClick, at);
    EXPECT_FALSE(pin->content()->hasGesture());
    EXPECT_FALSE(pin->isEditing);
    std::vector<QUuid> asked;
    pin->onRequestEdit = [&](const QUuid& id) {
        asked.push_back(id);
        return true;
    };
    mouse(pin->content(), QEvent::MouseButtonDblClick, at);
    EXPECT_EQ(asked, std::vector<QUuid>{f.document->id()});
    EXPECT_FALSE(pin->content()->hasGesture());
    EXPECT_EQ(pin->viewport(), before);
    // A blocked pin ignores presses (and takes them: nothing falls through).
    pin->terminationSuspended = true;
    mouse(pin->content(), QEvent::MouseButtonPress, at);
    EXPECT_FALSE(pin->content()->hasGesture());
    mouse(pin->content(), QEvent::MouseButtonDblClick, at);
    EXPECT_EQ(asked.size(), 1u);
}

TEST(PinInteraction, HoverRaisesTheStripAndPicksTheCursor)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    pin->isActive = false;
    pin->activateControls();
    EXPECT_FALSE(pin->controlsWindow()->isVisible());
    // Entering behaves as moving: hovered, strip up, cursor for the handle.
    const QPointF edge = globalOf(*pin, QPointF(200, 2));
    QEnterEvent enter(pin->content()->mapFromGlobal(edge), pin->content()->mapFromGlobal(edge), edge);
    QApplication::sendEvent(pin->content(), &enter);
    EXPECT_TRUE(pin->isHovered);
    EXPECT_TRUE(pin->controlsWindow()->isVisible());
    EXPECT_EQ(pin->content()->cursor().shape(), Qt::SizeVerCursor);
    mouse(pin->content(), QEvent::MouseMove, globalOf(*pin, QPointF(200, 150)), Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(pin->content()->cursor().shape(), Qt::ArrowCursor);
    // Leaving to a point off the image.
    f.pinPointer = Point{5, 5};
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pin->content(), &leave);
    EXPECT_FALSE(pin->isHovered);
    EXPECT_FALSE(pin->controlsWindow()->isVisible());
}

TEST(PinInteraction, MenuHasSixItemsAndSurvivesClosingItsPin)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    const QPointF at = globalOf(*pin, QPointF(200, 150));
    mouse(pin->content(), QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
    QPointer<QMenu> menu = pin->contextMenu();
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->isVisible());
    QStringList titles;
    for (QAction* action : menu->actions())
        titles << action->text();
    EXPECT_EQ(titles, (QStringList{"编辑", "复制", "保存…", "恢复100%", "隐藏", "关闭"}));
    // "隐藏" hides the pin.
    menu->actions()[4]->trigger();
    EXPECT_FALSE(pin->contentWindow()->isVisible());
    menu->close();
    EXPECT_TRUE(runUntil([&] { return !menu; }));
    pin->show();
    // "关闭" asks to close; the owner deletes the pin from inside the action.
    mouse(pin->content(), QEvent::MouseButtonPress, at, Qt::RightButton, Qt::RightButton);
    menu = pin->contextMenu();
    ASSERT_TRUE(menu);
    int closes = 0;
    pin->onClose = [&](const QUuid&) {
        ++closes;
        pin->dispose();
        pin.reset();
    };
    menu->actions()[5]->trigger();
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(pin);
    EXPECT_TRUE(runUntil([&] { return !menu; }));
    // A blocked pin opens none.
    auto other = f.pin(Rect(0, 0, 400, 300));
    other->show();
    other->captureSuspended = true;
    other->showContextMenu(QPoint(10, 10));
    EXPECT_FALSE(other->contextMenu());
}
