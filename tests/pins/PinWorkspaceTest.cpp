#include "app/editor/EditorDocument.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/pins/CapturePreparationLease.h"
#include "app/pins/PinContentView.h"
#include "app/pins/PinWorkspace.h"
#include "pins/PinFixtures.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A workspace over the pin fixture's screens and window service, making editors as the
// coordinator does, with a record of its callbacks.
struct WorkspaceFixture : PinFixture {
    PinWorkspace workspace{pinEnvironment()};
    int changes = 0;
    std::vector<std::shared_ptr<EditorDocument>> closed;

    WorkspaceFixture() : PinFixture(solidImage(QSize(800, 600), pictureColor), Size{800, 600})
    {
        workspace.makeHost = [this](std::shared_ptr<EditorDocument> d) {
            return new EditorHostView(d, true, output, outputs, feedback, environment());
        };
        workspace.onChanged = [this] { ++changes; };
        workspace.onClosed = [this](std::shared_ptr<EditorDocument> d) { closed.push_back(d); };
    }

    // A new document of the fixture's image with a committed selection (none: without).
    std::shared_ptr<EditorDocument> newDocument(std::optional<Rect> selection = Rect(0, 0, 400, 300))
    {
        auto d = std::make_shared<EditorDocument>(document->source(), SaveDraft{},
                                                  EditorSession(QUuid::createUuid(), std::nullopt,
                                                                DocumentOrigin::clipboardImage));
        if (selection) {
            d->session.setSelection(*selection);
            EXPECT_TRUE(d->session.commit());
        }
        return d;
    }

    PinWindowController* added(std::optional<Point> near = std::nullopt)
    {
        auto d = newDocument();
        EXPECT_TRUE(workspace.add(d, near));
        return workspace.pin(d->id());
    }

    // Types an invalid value into the pin's strip: its editor then refuses to act.
    void blockCommit(PinWindowController& pin)
    {
        pin.host()->performTool(QStringLiteral("pen"));
        pin.host()->properties()->field(ToolProperties::FieldRole::width)->setText(QStringLiteral("99"));
    }
    void unblockCommit(PinWindowController& pin)
    {
        pin.host()->properties()->field(ToolProperties::FieldRole::width)->setText(QStringLiteral("4"));
    }
};

} // namespace

TEST(PinWorkspace, AddsUpToTenPinsAndRefusesQuietly)
{
    WorkspaceFixture f;
    std::vector<QUuid> ids;
    for (int i = 0; i < 10; ++i) {
        auto d = f.newDocument();
        ASSERT_TRUE(f.workspace.add(d, Point{300.0 + 24 * i, 300.0 + 24 * i})) << i;
        ids.push_back(d->id());
        EXPECT_EQ(f.workspace.activePin(), d->id());
    }
    EXPECT_GE(f.changes, 10); // each add, and each pin appearing
    // Insertion order is the table's order.
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(f.workspace.windows()[i].id, ids[i]);
    // Only the last one is active.
    EXPECT_TRUE(f.workspace.pin(ids.back())->isActive);
    EXPECT_FALSE(f.workspace.pin(ids.front())->isActive);
    EXPECT_TRUE(f.workspace.pin(ids.back())->contentWindow()->isVisible());
    // The eleventh, a duplicate, a document without selection, no factory: false, nothing made.
    const int made = int(f.kit->stacking().size());
    EXPECT_FALSE(f.workspace.add(f.newDocument(), std::nullopt));
    f.workspace.remove(ids.front());
    EXPECT_FALSE(f.workspace.add(f.workspace.pin(ids.back())->sharedDocument(), std::nullopt));
    EXPECT_FALSE(f.workspace.add(f.newDocument(std::nullopt), std::nullopt));
    f.workspace.makeHost = nullptr;
    EXPECT_FALSE(f.workspace.add(f.newDocument(), std::nullopt));
    EXPECT_EQ(f.workspace.windows().size(), 9u);
    EXPECT_LE(int(f.kit->stacking().size()), made);
}

TEST(PinWorkspace, RemovingGivesTheDocumentBackAndClearsActiveIds)
{
    WorkspaceFixture f;
    PinWindowController* a = f.added();
    PinWindowController* b = f.added();
    const QUuid idA = a->document().id();
    const QUuid idB = b->document().id();
    int finished = 0;
    // Edit mode on B, then B closed: no onFinishEdit, no active pin, no editor.
    ASSERT_TRUE(f.workspace.edit(idB));
    EXPECT_EQ(f.workspace.activeEditor(), idB);
    b->onFinishEdit = [&](const QUuid&) { ++finished; };
    QPointer<PinWindowController> gone(b);
    const std::optional<QUuid> token = b->document().session.beginOutput();
    f.workspace.remove(idB); // refused while its output runs
    EXPECT_TRUE(f.workspace.pin(idB));
    b->document().session.finishOutput(*token, false);
    b->closePin();
    EXPECT_FALSE(f.workspace.pin(idB));
    EXPECT_EQ(finished, 0);
    EXPECT_FALSE(f.workspace.activeEditor());
    EXPECT_FALSE(f.workspace.activePin());
    ASSERT_EQ(f.closed.size(), 1u);
    EXPECT_EQ(f.closed[0]->id(), idB);
    EXPECT_TRUE(gone && gone->isDisposed()); // deleted later
    EXPECT_TRUE(runUntil([&] { return !gone; }));
    f.workspace.remove(idB); // unknown id: nothing
    EXPECT_EQ(f.closed.size(), 1u);
    EXPECT_TRUE(f.workspace.pin(idA));
}

TEST(PinWorkspace, OneEditorAtATime)
{
    WorkspaceFixture f;
    PinWindowController* a = f.added();
    PinWindowController* b = f.added();
    const QUuid idA = a->document().id();
    const QUuid idB = b->document().id();
    ASSERT_TRUE(f.workspace.edit(idA));
    EXPECT_TRUE(a->isEditing);
    EXPECT_EQ(f.workspace.activePin(), idA);
    // A will not commit: B may neither edit nor activate.
    f.blockCommit(*a);
    EXPECT_FALSE(f.workspace.edit(idB));
    EXPECT_FALSE(f.workspace.prepareForActivation(idB));
    EXPECT_TRUE(a->isEditing);
    // With A's output running it is passed over: A leaves at once, uncommitted, and B edits.
    const std::optional<QUuid> token = a->document().session.beginOutput();
    EXPECT_TRUE(f.workspace.prepareForActivation(idB));
    EXPECT_TRUE(f.workspace.edit(idB));
    EXPECT_FALSE(a->isEditing);
    EXPECT_TRUE(b->isEditing);
    EXPECT_EQ(f.workspace.activeEditor(), idB);
    EXPECT_EQ(f.workspace.activePin(), idB);
    a->document().session.finishOutput(*token, false);
    // B leaves by its own button: the editor id clears.
    b->toggleEdit();
    EXPECT_FALSE(f.workspace.activeEditor());
    // A gesture anywhere refuses everything.
    const QPointF press = QPointF(a->contentWindow()->geometry().center());
    QMouseEvent down(QEvent::MouseButtonPress, a->content()->mapFromGlobal(press), press, press, Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    f.unblockCommit(*a);
    QApplication::sendEvent(a->content(), &down);
    ASSERT_TRUE(f.workspace.hasGesture());
    EXPECT_FALSE(f.workspace.edit(idB));
    EXPECT_FALSE(f.workspace.prepareForActivation(idB));
    EXPECT_FALSE(f.workspace.settleForCapture());
    EXPECT_FALSE(f.workspace.toggleVisibility());
    a->content()->cancelGesture();
    EXPECT_FALSE(f.workspace.hasGesture());
}

TEST(PinWorkspace, ToggleHidesAllWhenAnyShowsAndRefusesAnEditorThatWillNotCommit)
{
    WorkspaceFixture f;
    std::vector<PinWindowController*> pins{f.added(), f.added(), f.added()};
    pins[0]->setVisible(false);
    pins[1]->setVisible(false);
    EXPECT_TRUE(f.workspace.toggleVisibility());
    for (PinWindowController* pin : pins)
        EXPECT_FALSE(pin->contentWindow()->isVisible());
    EXPECT_TRUE(f.workspace.contentWindowIDs().isEmpty());
    EXPECT_TRUE(f.workspace.toggleVisibility());
    for (PinWindowController* pin : pins)
        EXPECT_TRUE(pin->contentWindow()->isVisible());
    EXPECT_EQ(f.workspace.contentWindowIDs().size(), 3);
    EXPECT_TRUE(f.workspace.contentWindowIDs().contains(quint32(pins[2]->contentWindow()->winId())));
    // An editor that will not commit: false, nothing changes, edit mode stays.
    ASSERT_TRUE(f.workspace.edit(pins[1]->document().id()));
    f.blockCommit(*pins[1]);
    EXPECT_FALSE(f.workspace.toggleVisibility());
    EXPECT_TRUE(pins[0]->contentWindow()->isVisible());
    f.unblockCommit(*pins[1]);
    EXPECT_TRUE(f.workspace.toggleVisibility());
    EXPECT_TRUE(pins[1]->isEditing);
    EXPECT_FALSE(pins[1]->contentWindow()->isVisible());
    // A suspended pin refuses.
    EXPECT_TRUE(f.workspace.toggleVisibility());
    pins[2]->terminationSuspended = true;
    EXPECT_FALSE(f.workspace.toggleVisibility());
}

TEST(PinWorkspace, SettleCommitsTheEditorsOpenWork)
{
    WorkspaceFixture f;
    PinWindowController* a = f.added();
    EXPECT_TRUE(f.workspace.settleForCapture());
    ASSERT_TRUE(f.workspace.edit(a->document().id()));
    f.blockCommit(*a);
    EXPECT_FALSE(f.workspace.settleForCapture());
    f.unblockCommit(*a);
    EXPECT_TRUE(f.workspace.settleForCapture());
    EXPECT_EQ(a->document().styles.value(CaptureTool::pen).width, 4); // committed
    const std::optional<QUuid> token = a->document().session.beginOutput();
    EXPECT_FALSE(f.workspace.settleForCapture());
    a->document().session.finishOutput(*token, false);
}

TEST(PinWorkspace, LeaseMakesPinsInertAndRestoresTheirOrder)
{
    WorkspaceFixture f;
    PinWindowController* a = f.added(Point{300, 300});
    PinWindowController* b = f.added(Point{500, 400});
    PinWindowController* c = f.added(Point{700, 500});
    ASSERT_TRUE(f.workspace.edit(b->document().id()));
    a->bringToFront(); // front to back: a, b (raised for editing), c
    const auto frontToBack = [&] {
        std::vector<PinWindowController*> order;
        for (QWidget* w : f.kit->frontToBack())
            for (PinWindowController* p : {a, b, c})
                if (p && p->contentWindow() == w)
                    order.push_back(p);
        return order;
    };
    ASSERT_EQ(frontToBack(), (std::vector<PinWindowController*>{a, b, c}));
    const int flushes = f.kit->flushCount;
    auto lease = std::make_unique<CapturePreparationLease>(f.workspace);
    EXPECT_TRUE(lease->hidVisibleWindow());
    EXPECT_EQ(f.kit->flushCount, flushes + 1);
    for (PinWindowController* p : {a, b, c}) {
        EXPECT_TRUE(p->captureSuspended);
        EXPECT_TRUE(p->isBlocked());
        EXPECT_TRUE(p->contentWindow()->isVisible());
        EXPECT_TRUE(f.kit->placed(p->contentWindow())->clickThrough);
        EXPECT_FALSE(p->borderWindow()->isVisible());
        EXPECT_FALSE(p->controlsWindow()->isVisible());
        EXPECT_FALSE(p->resizeWindow(0)->isVisible());
    }
    EXPECT_FALSE(b->host()->isEditingEnabled());
    EXPECT_FALSE(b->chromeWindow()->isVisible());
    EXPECT_EQ(f.workspace.contentWindowIDs().size(), 3);
    // During the capture: c is closed, a newcomer d arrives and everything is restacked.
    EXPECT_FALSE(b->bringToFront()); // refused: the pins are inert
    f.workspace.remove(c->document().id());
    c = nullptr;
    PinWindowController* d = f.added(Point{400, 350});
    lease->restore();
    for (PinWindowController* p : {a, b}) {
        EXPECT_FALSE(p->captureSuspended);
        EXPECT_FALSE(f.kit->placed(p->contentWindow())->clickThrough);
        EXPECT_TRUE(p->borderWindow()->isVisible());
    }
    EXPECT_TRUE(b->host()->isEditingEnabled());
    EXPECT_TRUE(b->chromeWindow()->isVisible());
    std::vector<PinWindowController*> order;
    for (QWidget* w : f.kit->frontToBack())
        for (PinWindowController* p : {a, b, d})
            if (p->contentWindow() == w)
                order.push_back(p);
    EXPECT_EQ(order, (std::vector<PinWindowController*>{d, a, b}));
    // A second restore does nothing.
    b->bringToFront();
    lease->restore();
    EXPECT_EQ(f.kit->frontToBack().front(), b->chromeWindow());
    EXPECT_TRUE(lease->restored());
}

TEST(PinWorkspace, LeaseLeavesAClosedKeyWindowAloneAndOutlivesItsWorkspace)
{
    auto f = std::make_unique<WorkspaceFixture>();
    PinWindowController* a = f->added();
    auto other = std::make_unique<QWidget>();
    other->show();
    other->activateWindow();
    runUntil([&] { return QApplication::activeWindow() == other.get(); }, 1s);
    const bool keyKnown = QApplication::activeWindow() == other.get();
    CapturePreparationLease lease(f->workspace);
    other.reset();
    const size_t activations = f->kit->activations.size();
    lease.restore();
    ASSERT_TRUE(keyKnown);
    EXPECT_EQ(f->kit->activations.size(), activations);
    EXPECT_FALSE(a->captureSuspended);
    // A key window still open gets the keyboard back.
    auto key = std::make_unique<QWidget>();
    key->show();
    key->activateWindow();
    ASSERT_TRUE(runUntil([&] { return QApplication::activeWindow() == key.get(); }, 1s));
    CapturePreparationLease again(f->workspace);
    again.restore();
    ASSERT_FALSE(f->kit->activations.empty());
    EXPECT_EQ(f->kit->activations.back(), key.get());
    // A lease whose workspace went restores without it.
    CapturePreparationLease orphan(f->workspace);
    auto kit = f->kit;
    f.reset();
    orphan.restore();
    EXPECT_TRUE(orphan.restored());
}

TEST(PinWorkspace, CallbacksOfAPinReachTheWorkspaceOnlyWhileItLives)
{
    auto f = std::make_unique<WorkspaceFixture>();
    PinWindowController* a = f->added();
    QString shown;
    EditorHostView* reported = nullptr;
    f->workspace.onOutputSuccess = [&](const QString& message, EditorHostView* host) {
        shown = message;
        reported = host;
    };
    const int changes = f->changes;
    a->host()->onOutputSuccess(QStringLiteral("已复制截图"));
    EXPECT_EQ(shown, "已复制截图");
    EXPECT_EQ(reported, a->host());
    EXPECT_EQ(f->changes, changes + 1);
    // The selection changed by an edit: the pin shows it at the same place and scale.
    const Point origin = a->viewport().screenOrigin();
    a->document().session.setSelection(Rect(10, 10, 200, 100));
    ASSERT_TRUE(a->document().session.commit());
    a->host()->onContentChanged();
    EXPECT_EQ(a->viewport().documentRect(), Rect(10, 10, 200, 100));
    EXPECT_EQ(a->viewport().screenOrigin(), origin);
}
