#include "app/editor/EditorDocument.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/pins/PinActionButton.h"
#include "app/pins/PinContentView.h"
#include "pins/PinFixtures.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A pin whose edit requests are granted at once, as the workspace does for a lone pin.
struct EditedPin {
    PinFixture f;
    std::unique_ptr<PinWindowController> pin;
    int finished = 0;

    EditedPin()
    {
        pin = f.pin(Rect(0, 0, 400, 300));
        pin->show();
        pin->onRequestEdit = [this](const QUuid&) {
            pin->beginEditing();
            return true;
        };
        pin->onFinishEdit = [this](const QUuid&) { ++finished; };
    }

    void hostMouse(QEvent::Type type, QPointF local, Qt::MouseButtons held)
    {
        EditorHostView* host = pin->host();
        const QPointF global = host->mapToGlobal(local);
        QMouseEvent event(type, local, local, global, Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(host, &event);
    }

    StripField* penWidth()
    {
        pin->host()->performTool(QStringLiteral("pen"));
        return pin->host()->properties()->field(ToolProperties::FieldRole::width);
    }
};

} // namespace

TEST(PinEditing, TheEditButtonEntersAndLeavesOnce)
{
    EditedPin e;
    PinWindowController& pin = *e.pin;
    EXPECT_TRUE(pin.host()->testAttribute(Qt::WA_TransparentForMouseEvents));
    pin.editButton()->click();
    EXPECT_TRUE(pin.isEditing);
    EXPECT_TRUE(pin.host()->isEditingEnabled());
    EXPECT_FALSE(pin.host()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(pin.editButton()->icon(), "check");
    EXPECT_EQ(pin.editButton()->toolTip(), "Done");
    EXPECT_EQ(pin.editButton()->accessibleName(), "Done");
    EXPECT_TRUE(pin.chromeWindow()->isVisible());
    for (int i = 0; i < 8; ++i)
        EXPECT_FALSE(pin.resizeWindow(i)->isVisible()) << i;
    EXPECT_TRUE(pin.controlsWindow()->isVisible());

    pin.editButton()->click();
    EXPECT_FALSE(pin.isEditing);
    EXPECT_EQ(e.finished, 1);
    EXPECT_FALSE(pin.host()->isEditingEnabled());
    EXPECT_TRUE(pin.host()->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(pin.editButton()->icon(), "edit");
    EXPECT_EQ(pin.editButton()->toolTip(), "编辑贴图");
    EXPECT_FALSE(pin.chromeWindow()->isVisible());
    EXPECT_TRUE(pin.resizeWindow(0)->isVisible());
}

TEST(PinEditing, BusyOutputAndRefusedCommitsChangeNothing)
{
    EditedPin e;
    PinWindowController& pin = *e.pin;
    // Entering while the output runs.
    std::optional<QUuid> token = e.f.document->session.beginOutput();
    pin.toggleEdit();
    pin.beginEditing();
    EXPECT_FALSE(pin.isEditing);
    e.f.document->session.finishOutput(*token, false);
    pin.toggleEdit();
    ASSERT_TRUE(pin.isEditing);
    // Hiding, copying, saving and leaving while the output runs.
    token = e.f.document->session.beginOutput();
    pin.hidePin();
    pin.copyPin();
    pin.savePin();
    pin.toggleEdit();
    EXPECT_TRUE(pin.contentWindow()->isVisible());
    EXPECT_TRUE(pin.isEditing);
    EXPECT_FALSE(e.f.outputs->isBusy());
    e.f.document->session.finishOutput(*token, false);
    // An invalid strip value the editor will not let go: hide and leave are refused.
    StripField* width = e.penWidth();
    ASSERT_TRUE(width);
    width->setText(QStringLiteral("99"));
    pin.hidePin();
    pin.toggleEdit();
    EXPECT_TRUE(pin.contentWindow()->isVisible());
    EXPECT_TRUE(pin.isEditing);
    EXPECT_EQ(e.finished, 0);
    // Mended, the pin hides and keeps edit mode.
    width->setText(QStringLiteral("5"));
    pin.hidePin();
    EXPECT_FALSE(pin.contentWindow()->isVisible());
    EXPECT_TRUE(pin.isEditing);
}

TEST(PinEditing, CloseDuringACopySaysWhyAndKeepsThePin)
{
    EditedPin e;
    PinWindowController& pin = *e.pin;
    int closes = 0;
    pin.onClose = [&](const QUuid&) { ++closes; };
    const std::optional<QUuid> token = e.f.document->session.beginOutput();
    pin.closePin();
    EXPECT_EQ(closes, 0);
    EXPECT_EQ(pin.host()->feedbackLabel()->text(), "请先完成或取消当前输出，再关闭贴图。");
    e.f.document->session.finishOutput(*token, true);
    pin.closePin();
    EXPECT_EQ(closes, 1);
    // A real copy: refused while it runs, closing works once it has finished.
    QString copied;
    pin.host()->onOutputSuccess = [&](const QString& message) { copied = message; };
    pin.copyPin();
    ASSERT_TRUE(pin.outputBusy());
    pin.closePin();
    EXPECT_EQ(closes, 1);
    ASSERT_TRUE(runUntil([&] { return !pin.outputBusy(); }));
    EXPECT_EQ(copied, "已复制截图");
    pin.closePin();
    EXPECT_EQ(closes, 2);
    // A blocked pin does not even ask.
    pin.captureSuspended = true;
    pin.closePin();
    EXPECT_EQ(closes, 2);
}

TEST(PinEditing, AMoveThenLossOfKeyPutsPinAndToolbarBack)
{
    EditedPin e;
    PinWindowController& pin = *e.pin;
    pin.toggleEdit();
    ASSERT_TRUE(pin.isEditing);
    e.f.document->tool = CaptureTool::select;
    const DocumentViewport before = pin.viewport();
    const ToolbarPlacementModel placement = e.f.document->toolbarPlacement;
    const QRect chromeBefore = pin.chromeWindow()->geometry();
    e.hostMouse(QEvent::MouseButtonPress, QPointF(200, 150), Qt::LeftButton);
    e.hostMouse(QEvent::MouseMove, QPointF(240, 125), Qt::LeftButton);
    ASSERT_TRUE(pin.moveStart());
    // y down: the pin follows the pointer 40 right and 25 up.
    EXPECT_EQ(pin.viewport().screenOrigin(), (before.screenOrigin() + Point{40, -25}));
    EXPECT_EQ(pin.chromeWindow()->geometry().topLeft() - chromeBefore.topLeft(), QPoint(40, -25));
    // A second move may not start meanwhile.
    EXPECT_FALSE(pin.beginMovingImage());
    QEvent deactivated(QEvent::ActivationChange);
    QApplication::sendEvent(pin.contentWindow(), &deactivated);
    EXPECT_FALSE(pin.moveStart());
    EXPECT_EQ(pin.viewport(), before);
    EXPECT_EQ(pin.chromeWindow()->geometry(), chromeBefore);
    EXPECT_EQ(e.f.document->toolbarPlacement.base(), placement.base());
    EXPECT_FALSE(pin.host()->hasGesture());
}

TEST(PinEditing, AHalfTypedFieldSurvivesTheFreezeUnapplied)
{
    EditedPin e;
    PinWindowController& pin = *e.pin;
    pin.toggleEdit();
    StripField* width = e.penWidth();
    ASSERT_TRUE(width);
    const AnnotationStyle before = pin.host()->properties()->annotationStyle();
    width->setFocus();
    ASSERT_EQ(pin.chromeWindow()->focusWidget(), width);
    width->setText(QStringLiteral("12"));
    width->setCursorPosition(1);
    const auto marks = e.f.document->session.annotations();
    const auto styles = e.f.document->styles;

    pin.setTerminationSuspended(true);
    EXPECT_TRUE(pin.isBlocked());
    EXPECT_FALSE(pin.host()->isEditingEnabled());
    EXPECT_TRUE(width->isReadOnly());
    // The review takes the keyboard: the field loses it without applying "12".
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(width, &focusOut);
    EXPECT_EQ(e.f.document->styles, styles);
    EXPECT_EQ(e.f.document->session.annotations(), marks);
    // Frozen, the pin stays opaque to clicks and ignores them.
    EXPECT_FALSE(e.f.kit->placed(pin.contentWindow())->clickThrough);
    pin.toggleEdit();
    pin.closePin();
    EXPECT_TRUE(pin.isEditing);

    pin.setTerminationSuspended(false);
    EXPECT_FALSE(width->isReadOnly());
    EXPECT_EQ(width->text(), "12");
    EXPECT_EQ(width->cursorPosition(), 1);
    EXPECT_EQ(pin.chromeWindow()->focusWidget(), width);
    EXPECT_TRUE(pin.host()->isEditingEnabled());
    EXPECT_EQ(e.f.document->styles, styles);
    EXPECT_EQ(pin.host()->properties()->annotationStyle(), before);
}

TEST(PinEditing, AFrozenFieldLosingTheKeyboardAppliesNothing)
{
    EditedPin e;
    e.pin->toggleEdit();
    StripField* width = e.penWidth();
    ASSERT_TRUE(width);
    width->setFocus();
    width->setText(QStringLiteral("12"));
    const auto styles = e.f.document->styles;
    width->setReadOnly(true);
    QFocusEvent focusOut(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(width, &focusOut);
    EXPECT_EQ(width->text(), "12");
    EXPECT_EQ(e.f.document->styles, styles);
    // Editable, the same loss applies the value.
    width->setReadOnly(false);
    width->setFocus();
    QApplication::sendEvent(width, &focusOut);
    EXPECT_EQ(e.f.document->styles.value(CaptureTool::pen).width, 12);
}

TEST(PinEditing, ThawClampsTheSavedSelectionToTheText)
{
    EditedPin e;
    PinWindowController& pin = *e.pin;
    pin.toggleEdit();
    StripField* width = e.penWidth();
    ASSERT_TRUE(width);
    width->setFocus();
    width->setText(QStringLiteral("123456789012345"));
    width->setSelection(5, 10);
    pin.setTerminationSuspended(true);
    EXPECT_EQ(pin.suspendedChrome().selection, std::pair(5, 10));
    width->setMaxLength(8); // the field takes fewer characters by the time it thaws
    pin.setTerminationSuspended(false);
    EXPECT_EQ(width->text(), "12345678");
    EXPECT_EQ(width->selectionStart(), 5);
    EXPECT_EQ(width->selectedText().size(), 3);
}
