#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/pins/PinActionButton.h"
#include "core/Uuid.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinDecorationView.h"
#include "app/pins/PinResizeView.h"
#include "app/pins/PinScaleView.h"
#include "editor/HeldRenderSlot.h"
#include "pins/PinFixtures.h"

#include <QEnterEvent>
#include <QApplication>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vorlith;
using namespace vorlith::test;

namespace {

std::vector<QWidget*> visibleStack(const FakeFloatingWindows& kit)
{
    std::vector<QWidget*> shown;
    for (QWidget* window : kit.stacking())
        if (window->isVisible())
            shown.push_back(window);
    return shown;
}

} // namespace

TEST(PinWindowController, FitsAndLaysOutItsWindows)
{
    // A 4000 × 3000 image on a 1440 × 875 visible frame.
    PinFixture f(solidImage(QSize(4000, 3000), Qt::gray), Size{4000, 3000});
    auto pin = f.pin(Rect(0, 0, 4000, 3000));
    ASSERT_TRUE(pin);
    EXPECT_NEAR(pin->viewport().scale(), 859.0 / 3000, 1e-9);
    EXPECT_EQ(pin->scaleLabel()->percentage(), 29);
    const QRect content = pin->contentWindow()->geometry();
    EXPECT_NEAR(content.width(), 1145, 1);
    EXPECT_EQ(content.height(), 859);
    EXPECT_EQ(content.top(), 33);
    EXPECT_EQ(pin->borderWindow()->geometry(), content.adjusted(-44, -44, 44, 44));
    EXPECT_EQ(pin->scaleWindow()->geometry().topLeft(), content.topLeft() + QPoint(8, 8));
    EXPECT_EQ(pin->controlsWindow()->geometry(), QRect(content.right() + 1 - 7 - 135, content.top() + 7, 135, 39));
    EXPECT_EQ(pin->resizeWindow(0)->geometry(), QRect(content.left() - 12, content.top() - 12, 24, 24));
    // The host shows the selection at the exact scale.
    EXPECT_EQ(pin->host()->bounds(), Rect(0, 0, 4000, 3000));
    EXPECT_DOUBLE_EQ(pin->host()->viewScale(), 859.0 / 3000);
    // Nothing is on screen until shown.
    EXPECT_FALSE(pin->contentWindow()->isVisible());
    // Identifiers.
    const QString id = uuidString(f.document->id());
    EXPECT_TRUE(pin->contentWindow()->objectName().startsWith("pin." + id + "."));
    EXPECT_TRUE(pin->contentWindow()->objectName().endsWith(".image"));
    EXPECT_TRUE(pin->controlsWindow()->objectName().endsWith(".actions"));
    EXPECT_EQ(pin->resizeWindow(7)->objectName(), "pin." + id + ".resize.7");
    EXPECT_EQ(pin->button(1)->toolTip(), "恢复100%");
    EXPECT_EQ(pin->button(3)->accessibleName(), "关闭并丢弃");
    EXPECT_TRUE(f.kit->placed(pin->borderWindow())->clickThrough);
    EXPECT_TRUE(f.kit->placed(pin->scaleWindow())->clickThrough);
    EXPECT_FALSE(f.kit->placed(pin->controlsWindow())->clickThrough);
}

TEST(PinWindowController, ShowsASelectionOfALargerDocument)
{
    PinFixture f;
    auto pin = f.pin(Rect(300, 200, 400, 300), Point{700, 400});
    ASSERT_TRUE(pin);
    EXPECT_EQ(pin->host()->bounds(), Rect(300, 200, 400, 300));
    EXPECT_EQ(pin->host()->size(), QSize(400, 300));
    EXPECT_EQ(pin->contentWindow()->geometry(), QRect(500, 250, 400, 300));
    // A document point maps onto the widget through the shown rectangle.
    EXPECT_EQ(pin->host()->documentToView().map(QPointF(300, 200)), QPointF(0, 0));
    // A viewport that cannot be formed is never applied to the host.
    EXPECT_FALSE(pin->host()->setViewport(Rect(0, 0, NAN, 10), 1));
    EXPECT_FALSE(pin->host()->setViewport(Rect(0, 0, 10, 10), 0));
    EXPECT_EQ(pin->host()->bounds(), Rect(300, 200, 400, 300));
    // Refused outright: a selection without area.
    EXPECT_FALSE(PinWindowController::make(f.document, f.make(true), Rect(0, 0, 0, 10), std::nullopt,
                                           f.pinEnvironment()));
}

TEST(PinWindowController, StacksImageRingPanelsBadgeStrip)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    int changes = 0;
    pin->onVisibilityChanged = [&] { ++changes; };
    pin->show();
    EXPECT_EQ(changes, 1);
    std::vector<QWidget*> expected{pin->contentWindow(), pin->borderWindow()};
    for (int i = 0; i < 8; ++i)
        expected.push_back(pin->resizeWindow(i));
    expected.push_back(pin->scaleWindow());
    expected.push_back(pin->controlsWindow());
    EXPECT_EQ(visibleStack(*f.kit), expected);
    EXPECT_EQ(f.kit->satelliteOwner(pin->controlsWindow()), pin->contentWindow());
    // Shown again while visible: only refreshed and restacked.
    pin->show();
    EXPECT_EQ(changes, 1);

    // Inactive and not hovered: no strip, no badge.
    pin->isActive = false;
    pin->activateControls();
    EXPECT_FALSE(pin->controlsWindow()->isVisible());
    EXPECT_FALSE(pin->scaleWindow()->isVisible());
    EXPECT_FALSE(pin->decoration()->active);
    // Hovered: back above the resize panels.
    f.pinPointer = Point{100, 100} + Point{pin->contentWindow()->x() * 1.0, pin->contentWindow()->y() * 1.0};
    pin->updateHover();
    EXPECT_TRUE(pin->isHovered);
    EXPECT_EQ(visibleStack(*f.kit), expected);
    EXPECT_TRUE(pin->decoration()->hovered);
}

TEST(PinWindowController, SmallPinKeepsOnlyCornerPanels)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 20, 20));
    pin->show();
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(pin->resizeWindow(i)->isVisible()) << i;
    for (int i = 4; i < 8; ++i) {
        EXPECT_FALSE(pin->resizeWindow(i)->isVisible()) << i;
        EXPECT_TRUE(pin->resizeWindow(i)->geometry().isEmpty()) << i;
    }
}

TEST(PinWindowController, WithoutCompositorShapesItsWindows)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    const auto ringRoles = [&] {
        return std::count_if(f.kit->roles.begin(), f.kit->roles.end(), [&](const auto& role) {
            return role.first == pin->borderWindow() && role.second == pin->borderWindow()->objectName();
        });
    };
    const auto rolesBefore = ringRoles();
    EXPECT_TRUE(pin->borderWindow()->testAttribute(Qt::WA_TranslucentBackground));
    f.kit->setCompositor(false);
    EXPECT_FALSE(pin->decoration()->shadowsShown);
    // Opaque now, so the X server keeps no blended copy of it; made again under its name,
    // still shown and still letting clicks through.
    EXPECT_FALSE(pin->borderWindow()->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(pin->borderWindow()->isVisible());
    EXPECT_TRUE(pin->borderWindow()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(ringRoles(), rolesBefore + 1);
    EXPECT_FALSE(pin->contentWindow()->mask().isEmpty());
    EXPECT_FALSE(pin->contentWindow()->mask().contains(QPoint(0, 0))); // a rounded corner
    EXPECT_TRUE(pin->borderWindow()->mask().contains(QPoint(43, 150))); // the border, just outside the image
    EXPECT_FALSE(pin->borderWindow()->mask().contains(QPoint(44, 150)));
    EXPECT_FALSE(pin->borderWindow()->mask().contains(QPoint(10, 10))); // the shadow
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(pin->resizeWindow(i)->isVisible());
    pin->activateControls();
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(pin->resizeWindow(i)->isVisible());
    f.kit->setCompositor(true);
    pin->activateControls();
    EXPECT_TRUE(pin->decoration()->shadowsShown);
    EXPECT_TRUE(pin->borderWindow()->testAttribute(Qt::WA_TranslucentBackground));
    EXPECT_TRUE(pin->borderWindow()->isVisible());
    EXPECT_EQ(ringRoles(), rolesBefore + 2);
    // The image keeps its rounded shape; the ring shows its shadow but not over the image.
    EXPECT_FALSE(pin->contentWindow()->mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(pin->borderWindow()->mask().contains(QPoint(10, 10)));
    EXPECT_FALSE(pin->borderWindow()->mask().contains(QPoint(244, 194)));
    EXPECT_TRUE(pin->resizeWindow(0)->isVisible());
}

TEST(PinWindowController, HeldRenderDecidesWhetherThePinShows)
{
    struct Case {
        const char* name;
        bool hideWhilePending;
        bool expectShown;
    };
    const Case cases[] = {{"late success after hiding", true, false}, {"success", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PinFixture f;
        auto pin = f.pin(Rect(0, 0, 400, 300));
        f.commitMarks({boxMark(Rect(20, 20, 100, 60))});
        int changes = 0;
        pin->onVisibilityChanged = [&] { ++changes; };
        QString failure;
        pin->onDisplayFailure = [&](const QString& message) { failure = message; };
        {
            HeldSlot slot;
            pin->show();
            EXPECT_TRUE(pin->isRestoringVisibility());
            EXPECT_TRUE(pin->isBlocked());
            EXPECT_FALSE(pin->bringToFront());
            EXPECT_FALSE(pin->contentWindow()->isVisible());
            const QUuid revision = f.document->compositor().revision();
            pin->show(); // starts nothing new
            EXPECT_EQ(f.document->compositor().revision(), revision);
            if (c.hideWhilePending) {
                pin->setVisible(false);
                EXPECT_FALSE(pin->isRestoringVisibility());
            }
        }
        if (c.expectShown)
            EXPECT_TRUE(runUntil([&] { return pin->contentWindow()->isVisible(); }));
        else
            spin(100ms);
        EXPECT_EQ(pin->contentWindow()->isVisible(), c.expectShown);
        EXPECT_EQ(changes, c.expectShown ? 1 : 0);
        EXPECT_TRUE(failure.isEmpty());
        EXPECT_FALSE(pin->isRestoringVisibility());
    }
}

TEST(PinWindowController, FailedRestoreStaysHiddenAndSaysSo)
{
    for (bool hideFirst : {false, true}) {
        SCOPED_TRACE(hideFirst);
        PinFixture f;
        auto pin = f.pin(Rect(0, 0, 400, 300));
        // A mark the renderer refuses: the restoring render fails.
        Annotation broken = boxMark(Rect(20, 20, 100, 60));
        broken.points[0].x = NAN;
        f.document->session.beginEdit(EditorSession::EditKind::gesture);
        f.document->session.setAnnotations({broken});
        f.document->session.commit();
        if (f.document->session.annotations() == f.document->compositor().cachedMarks())
            GTEST_SKIP() << "the session refused the broken mark";
        QStringList failures;
        pin->onDisplayFailure = [&](const QString& message) { failures << message; };
        {
            HeldSlot slot;
            pin->show();
            if (hideFirst)
                pin->setVisible(false);
        }
        spin(150ms);
        EXPECT_FALSE(pin->contentWindow()->isVisible());
        EXPECT_EQ(failures, hideFirst ? QStringList{} : QStringList{PinWindowController::displayFailureMessage});
    }
}

TEST(PinWindowController, ConstrainAfterAScreenIsRemoved)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300), Point{2500, 500});
    // Fitted on the main screen whatever the point.
    EXPECT_LE(pin->contentWindow()->geometry().right(), 1440 - 8);
    // Moved onto the second screen, which then goes.
    pin->apply(*DocumentViewport::make(Rect(0, 0, 400, 300), Point{2600, 400}, 1));
    f.screens.pop_back();
    pin->constrainToAvailableScreens();
    EXPECT_EQ(pin->viewport().screenOrigin(), Point(1440 - 32, 400));
    EXPECT_EQ(pin->viewport().documentRect(), Rect(0, 0, 400, 300));
    // Without screens nothing moves.
    f.screens.clear();
    pin->constrainToAvailableScreens();
    EXPECT_EQ(pin->viewport().screenOrigin(), Point(1440 - 32, 400));
}

TEST(PinWindowController, DisposedPinDoesNothing)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    int changes = 0;
    pin->onVisibilityChanged = [&] { ++changes; };
    pin->dispose();
    pin->dispose();
    EXPECT_TRUE(pin->isDisposed());
    EXPECT_FALSE(pin->requestedVisible());
    EXPECT_FALSE(pin->contentWindow()->isVisible());
    EXPECT_FALSE(pin->controlsWindow()->isVisible());
    const DocumentViewport before = pin->viewport();
    pin->show();
    pin->setVisible(true);
    pin->apply(*DocumentViewport::make(Rect(0, 0, 400, 300), Point{5, 5}, 2));
    pin->constrainToAvailableScreens();
    EXPECT_FALSE(pin->bringToFront());
    EXPECT_FALSE(pin->requestActivation());
    EXPECT_EQ(pin->viewport(), before);
    EXPECT_FALSE(pin->contentWindow()->isVisible());
    EXPECT_EQ(changes, 0);
}

TEST(PinWindowController, ActivationAsksTheWorkspace)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    QUuid asked;
    bool allow = false;
    pin->onRequestActivation = [&](const QUuid& id) {
        asked = id;
        return allow;
    };
    EXPECT_FALSE(pin->requestActivation());
    EXPECT_FALSE(pin->bringToFront());
    EXPECT_EQ(asked, f.document->id());
    allow = true;
    EXPECT_TRUE(pin->bringToFront());
    pin->captureSuspended = true;
    EXPECT_FALSE(pin->requestActivation());
}

TEST(PinWindowController, ResizePanelsForwardToTheContentView)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    pin->isActive = false;
    pin->activateControls();
    PinResizeView* panel = pin->resizeView(0);
    // 9 and 8 points outside the image's top-left corner: the corner's handle.
    const QPointF global = QPointF(pin->contentWindow()->geometry().topLeft()) - QPointF(9, 8);
    const QPointF local = panel->mapFromGlobal(global);
    QEnterEvent enter(local, local, global);
    QApplication::sendEvent(panel, &enter);
    EXPECT_TRUE(pin->isHovered);
    EXPECT_EQ(panel->cursor().shape(), pin->content()->cursor().shape());
    EXPECT_EQ(pin->content()->cursor().shape(), Qt::BitmapCursor); // the diagonal arrows
    QMouseEvent press(QEvent::MouseButtonPress, local, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(panel, &press);
    EXPECT_EQ(pin->content()->resizeHandle(), SelectionHandle::topLeft);
    QMouseEvent release(QEvent::MouseButtonRelease, local, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(panel, &release);
    EXPECT_FALSE(pin->content()->hasGesture());
}

TEST(PinWindowController, DeletingAnEditedPinIsClean)
{
    PinFixture f;
    auto pin = f.pin(Rect(0, 0, 400, 300));
    pin->show();
    pin->isEditing = true;
    pin->host()->setEditingEnabled(true);
    pin->positionChrome();
    pin->activateControls();
    EXPECT_TRUE(pin->chromeWindow()->isVisible());
    EXPECT_EQ(pin->host()->toolbar()->window(), pin->chromeWindow());
    EXPECT_EQ(visibleStack(*f.kit).back(), pin->chromeWindow());
    pin->dispose();
    pin.reset();
}
