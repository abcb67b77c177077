// The editor view's keys (by X key code, through the key policy), the command shortcuts it
// claims before the application's, the wheel zoom of a pin and the exit order.
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolProperties.h"
#include "core/SharedWorkQueues.h"
#include "editor/HeldRenderSlot.h"
#include "editor/HostViewFixture.h"
#include "platform/x11/X11KeyCodes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>

#include <cmath>

using namespace vorlith;
using namespace vorlith::test;

namespace {

const Rect selection(100, 100, 200, 150);

// A key as X delivers it: its key code, the text the layout and modifiers make of it.
bool press(QWidget& target, quint16 keyCode, Qt::KeyboardModifiers modifiers = {}, const QString& text = {},
           bool autoRepeat = false, QEvent::Type type = QEvent::KeyPress)
{
    QKeyEvent event(type, Qt::Key_unknown, modifiers, keyCode, 0, 0, text, autoRepeat);
    QApplication::sendEvent(&target, &event);
    return event.isAccepted();
}

void release(QWidget& target, quint16 keyCode, Qt::KeyboardModifiers modifiers = {}, bool autoRepeat = false)
{
    press(target, keyCode, modifiers, {}, autoRepeat, QEvent::KeyRelease);
}

// A view whose document has two committed steps (two pen strokes), shown in a window.
struct KeysFixture {
    HostViewFixture f;
    QWidget window;
    EditorHostView* view = nullptr;
    int exits = 0;

    explicit KeysFixture(bool pinned = false, bool commit = true)
    {
        if (commit) {
            f.commitSelection(selection);
            f.commitMarks({penMark(120, 120)});
            f.commitMarks({penMark(120, 120), penMark(150, 150)});
        } else {
            f.document->session.setSelection(selection);
        }
        view = f.make(pinned);
        view->setParent(&window);
        view->onExit = [this] { ++exits; };
        window.resize(view->size());
        window.show();
        view->activateWindow();
        view->setFocus();
        runUntil([&] { return view->hasFocus(); });
    }
    ~KeysFixture() { runUntil(outputsIdle); }

    size_t markCount() const { return f.document->session.annotations().size(); }
};

} // namespace

TEST(EditorKeys, CtrlZUndoesAndCtrlShiftZRedoesWhateverTheTextSays)
{
    KeysFixture k;
    ASSERT_EQ(k.markCount(), 2u);
    struct Step {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        QString text; // what the layout made of it: caps lock and Ctrl change it, the key stays
        size_t marks;
    };
    const QString ctrlZ(QChar(0x1A));
    const std::vector<Step> steps{
        {"ctrl+z", Qt::ControlModifier, ctrlZ, 1},
        {"ctrl+z caps lock", Qt::ControlModifier, ctrlZ, 0},
        {"ctrl+shift+z", Qt::ControlModifier | Qt::ShiftModifier, ctrlZ, 1},
        {"ctrl+shift+z caps lock", Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("z"), 2},
        {"shift+z is no shortcut", Qt::ShiftModifier, QStringLiteral("Z"), 2},
        {"alt+z is no shortcut", Qt::AltModifier, QStringLiteral("z"), 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        press(*k.view, X11KeyCodes::z, step.modifiers, step.text);
        release(*k.view, X11KeyCodes::z, step.modifiers);
        EXPECT_EQ(k.markCount(), step.marks);
    }
}

TEST(EditorKeys, ALetterWithAnOtherModifierGoesToTheNextResponder)
{
    KeysFixture k;
    EXPECT_FALSE(press(*k.view, X11KeyCodes::w, Qt::AltModifier, QStringLiteral("w")));
    release(*k.view, X11KeyCodes::w, Qt::AltModifier);
    EXPECT_EQ(k.f.document->tool, CaptureTool::select);
    EXPECT_FALSE(press(*k.view, X11KeyCodes::w, Qt::MetaModifier, QStringLiteral("w")));
    release(*k.view, X11KeyCodes::w, Qt::MetaModifier);
    EXPECT_TRUE(press(*k.view, X11KeyCodes::w, {}, QStringLiteral("w")));
    EXPECT_EQ(k.f.document->tool, CaptureTool::shape);
}

TEST(EditorKeys, ReturnAndKeypadEnterCopyOnlyOnceASelectionIsCommitted)
{
    for (quint16 key : {X11KeyCodes::returnKey, X11KeyCodes::keypadEnter}) {
        for (bool committed : {false, true}) {
            SCOPED_TRACE(QStringLiteral("key %1, committed %2").arg(key).arg(committed).toStdString());
            HeldSlot slot; // the copy stays in composition, so the start is visible
            KeysFixture k(false, committed);
            press(*k.view, key, {}, QStringLiteral("\r"));
            EXPECT_EQ(k.f.outputs->isBusy(), committed);
            EXPECT_EQ(k.f.document->session.isOutputLocked(), committed);
            k.view->cancelOutput();
        }
    }
}

TEST(EditorKeys, AHeldKeyActsOnceAndAnAutoRepeatedReleaseIsNoRelease)
{
    KeysFixture k;
    press(*k.view, X11KeyCodes::e, {}, QStringLiteral("e"));
    EXPECT_EQ(k.f.document->tool, CaptureTool::arrow);
    k.view->performTool(QStringLiteral("select"));
    // X repeats a held key as release + press pairs, both marked auto-repeat.
    release(*k.view, X11KeyCodes::e, {}, true);
    press(*k.view, X11KeyCodes::e, {}, QStringLiteral("e"), true);
    EXPECT_EQ(k.f.document->tool, CaptureTool::select);
    release(*k.view, X11KeyCodes::e);
    press(*k.view, X11KeyCodes::e, {}, QStringLiteral("e"));
    EXPECT_EQ(k.f.document->tool, CaptureTool::arrow);
}

TEST(EditorKeys, KeyboardToolChoiceCyclesTheShapeAndNeverTogglesTheStrip)
{
    KeysFixture k;
    const auto tap = [&](quint16 key, const char* text) {
        press(*k.view, key, {}, QString::fromLatin1(text));
        release(*k.view, key);
    };
    tap(X11KeyCodes::w, "w");
    EXPECT_EQ(k.f.document->tool, CaptureTool::shape);
    EXPECT_TRUE(k.view->propertiesOpen());
    const Shape first = k.f.document->shapeKind;
    tap(X11KeyCodes::w, "w");
    EXPECT_EQ(k.f.document->shapeKind, shape::next(first));
    EXPECT_TRUE(k.view->propertiesOpen());
    tap(X11KeyCodes::q, "q");
    EXPECT_EQ(k.f.document->tool, CaptureTool::select);
    EXPECT_FALSE(k.view->propertiesOpen());
}

TEST(EditorKeys, DeleteRemovesTheSelectedMarkAndCommits)
{
    KeysFixture k;
    const QUuid id = k.f.document->session.annotations().back().id;
    press(*k.view, X11KeyCodes::deleteKey);
    EXPECT_EQ(k.markCount(), 2u); // nothing selected: nothing happens
    release(*k.view, X11KeyCodes::deleteKey);
    k.f.document->selectedMarkID = id;
    press(*k.view, X11KeyCodes::backSpace);
    EXPECT_EQ(k.markCount(), 1u);
    EXPECT_EQ(k.f.document->session.document()->content().annotations.size(), 1u);
    EXPECT_FALSE(k.f.document->selectedMarkID);
}

TEST(EditorKeys, TheCommandShortcutsAreClaimedOnlyWhileTheCanvasHasTheKeyboard)
{
    KeysFixture k;
    const auto claimed = [&](QWidget& target, quint16 key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(QEvent::ShortcutOverride, Qt::Key_unknown, modifiers, key, 0, 0, QString());
        event.ignore();
        QApplication::sendEvent(&target, &event);
        return event.isAccepted();
    };
    EXPECT_TRUE(claimed(*k.view, X11KeyCodes::z, Qt::ControlModifier));
    EXPECT_TRUE(claimed(*k.view, X11KeyCodes::c, Qt::ControlModifier));
    EXPECT_TRUE(claimed(*k.view, X11KeyCodes::s, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_FALSE(claimed(*k.view, X11KeyCodes::w, Qt::ControlModifier));
    EXPECT_FALSE(claimed(*k.view, X11KeyCodes::z, Qt::NoModifier));

    // A strip field with the keyboard keeps Ctrl+Z for itself.
    k.view->performTool(QStringLiteral("pen"));
    StripField* field = k.view->properties()->field(ToolProperties::FieldRole::width);
    ASSERT_NE(field, nullptr);
    field->setFocus();
    ASSERT_TRUE(runUntil([&] { return field->hasFocus(); }));
    EXPECT_FALSE(claimed(*k.view, X11KeyCodes::z, Qt::ControlModifier));
}

TEST(EditorKeys, TheWheelZoomsOnlyAPinBeingEdited)
{
    struct Case {
        const char* name;
        bool pinned;
        QPoint pixelDelta;
        std::vector<int> angleSteps;
        std::optional<double> factor; // the product of every factor asked for
    };
    const std::vector<Case> cases{
        {"one notch", true, {}, {120}, std::exp(0.05)},
        {"one notch back", true, {}, {-120}, std::exp(-0.05)},
        {"a touchpad's fractions add up to a notch", true, {}, {12, 12, 12, 12, 12, 12, 12, 12, 12, 12},
         std::exp(0.05)},
        {"precise pixels", true, {0, 15}, {120}, std::exp(0.1)},
        {"capture overlay", false, {}, {120}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeysFixture k(c.pinned);
        std::optional<double> product;
        k.view->onScaleRequest = [&](double factor, Point) { product = product.value_or(1) * factor; };
        for (int step : c.angleSteps) {
            QWheelEvent event(QPointF(50, 50), QPointF(50, 50), c.pixelDelta, QPoint(0, step), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(k.view, &event);
        }
        ASSERT_EQ(product.has_value(), c.factor.has_value());
        if (c.factor) {
            EXPECT_NEAR(*product, *c.factor, 1e-9);
        }
    }
}

TEST(EditorKeys, AWheelOverAPinLeftOutOfEditOrWithAGestureDoesNotZoom)
{
    KeysFixture k(true);
    int requests = 0;
    k.view->onScaleRequest = [&](double, Point) { ++requests; };
    const auto wheel = [&] {
        QWheelEvent event(QPointF(50, 50), QPointF(50, 50), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(k.view, &event);
    };
    k.view->setEditingEnabled(false);
    wheel();
    k.view->setEditingEnabled(true);
    k.view->setGesture(gesture::PinMove{{0, 0}});
    wheel();
    EXPECT_EQ(requests, 0);
}

TEST(EditorExit, EscUnwindsOneThingAtATimeBeforeLeaving)
{
    struct Case {
        const char* name;
        std::function<void(KeysFixture&)> arrange;
        std::function<void(KeysFixture&)> check; // after the first Esc
    };
    const std::vector<Case> cases{
        {"an output is cancelled, the capture stays",
         [](KeysFixture& k) { k.view->performTool(QStringLiteral("copy")); },
         [](KeysFixture& k) {
             EXPECT_FALSE(k.f.outputs->isBusy());
             EXPECT_FALSE(k.f.document->session.isOutputLocked());
         }},
        {"an invalid width returns to its last valid value",
         [](KeysFixture& k) {
             k.view->performTool(QStringLiteral("pen"));
             k.view->properties()->field(ToolProperties::FieldRole::width)->setText(QStringLiteral("99"));
         },
         [](KeysFixture& k) { EXPECT_FALSE(k.view->properties()->hasInvalidInput()); }},
        {"a pin move is cancelled",
         [](KeysFixture& k) { k.view->setGesture(gesture::PinMove{{0, 0}}); },
         [](KeysFixture& k) { EXPECT_FALSE(k.view->hasGesture()); }},
        {"a press still held puts the selection back",
         [](KeysFixture& k) {
             k.f.document->toolbarPlacement.beginGeometry(ToolbarPlacementModel::GeometryGesture::move, selection,
                                                          k.view->editorPlacementFrame());
             k.view->setGesture(gesture::Move{{150, 150}, selection});
             k.f.document->session.setSelection(Rect(300, 300, 200, 150));
         },
         [](KeysFixture& k) {
             EXPECT_FALSE(k.view->hasGesture());
             EXPECT_EQ(k.f.document->session.selection(), selection);
             EXPECT_FALSE(k.f.document->session.hasDraft());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<HeldSlot> slot;
        slot.emplace();
        KeysFixture k;
        c.arrange(k);
        press(*k.view, X11KeyCodes::escape);
        EXPECT_EQ(k.exits, 0);
        c.check(k);
        slot.reset();
        runUntil(outputsIdle);
        release(*k.view, X11KeyCodes::escape);
        press(*k.view, X11KeyCodes::escape);
        EXPECT_EQ(k.exits, 1);
    }
}

TEST(EditorExit, EscDuringAToolbarDragPutsTheToolbarBackAndStays)
{
    KeysFixture k;
    const Rect before = k.view->toolbarGlobalFrame();
    const QMouseEvent mouse(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
    k.f.pointer = toQPointF(before.center());
    ASSERT_TRUE(k.view->toolbar()->onDragBegan(mouse));
    k.f.pointer += QPointF(-200, -80);
    k.view->toolbar()->onDragged(mouse);
    ASSERT_NE(k.view->toolbarGlobalFrame(), before);
    press(*k.view, X11KeyCodes::escape);
    EXPECT_FALSE(k.view->isDraggingToolbar());
    EXPECT_EQ(k.exits, 0);
    EXPECT_EQ(k.view->toolbarGlobalFrame(), before);
}
TEST(EditorKeys, TheFirstToolChosenShowsItsWholeStrip)
{
    // The bar grows when the strip opens, and a growing bar puts its children back where they
    // were recorded: the strip, rebuilt for the tool meanwhile, kept its empty width.
    KeysFixture k;
    press(*k.view, X11KeyCodes::a, {}, QStringLiteral("a"));
    ASSERT_EQ(k.f.document->tool, CaptureTool::pen);
    const int shown = k.view->properties()->width();
    ASSERT_TRUE(k.view->refresh());
    EXPECT_GT(shown, 200);
    EXPECT_EQ(shown, k.view->properties()->width());
}
