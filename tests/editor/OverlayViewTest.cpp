// The editor of one display during a capture: what it preselects, what a recovery holds and
// when there is one, reopening from it, and what ending a capture does to it.
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/OverlayView.h"
#include "support/FakeFloatingWindows.h"
#include "HostViewFixture.h"

#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace vorlith;
using namespace vorlith::test;

namespace {

constexpr qint32 frontApp = 4242;
constexpr qint32 otherApp = 77;

FrozenDisplay frozen(quint32 id = 5, std::vector<WindowCandidate> candidates = {})
{
    FrozenDisplay display;
    display.sourceID = QUuid::createUuid();
    display.id = id;
    display.image = solidImage(QSize(1600, 1000), QColor(200, 220, 240));
    display.geometry = CaptureGeometry{Size{800, 500}, Size{1600, 1000}};
    display.candidates = std::move(candidates);
    display.screenFrame = Rect(0, 0, 800, 500);
    display.backingScale = 2;
    return display;
}

const std::vector<WindowCandidate> windows{
    {otherApp, Rect(10, 10, 100, 80)},
    {frontApp, Rect(200, 40, 300, 200)},
    {frontApp, Rect(20, 300, 400, 150)},
};

struct Stage {
    HostViewFixture f; // clipboard, toasts, driven clock and pointer

    std::unique_ptr<OverlayView> make(FrozenDisplay display, std::optional<qint32> front,
                                      const std::optional<RecoveredCapture>& restoring = std::nullopt,
                                      SaveDraft draft = {})
    {
        return std::make_unique<OverlayView>(std::move(display), front, std::move(draft), f.output, f.outputs,
                                             restoring, f.feedback, f.environment());
    }
};

void commit(EditorSession& session, const Rect& selection, std::vector<Annotation> marks)
{
    session.setSelection(selection);
    ASSERT_TRUE(session.commit());
    if (marks.empty())
        return;
    session.beginEdit(EditorSession::EditKind::gesture);
    session.setAnnotations(std::move(marks));
    ASSERT_TRUE(session.commit());
}

} // namespace

TEST(OverlayView, PreselectsTheFirstWindowOfTheFrontProcessElseTheWholeDisplay)
{
    const Rect whole(0, 0, 800, 500);
    struct Case {
        const char* name;
        std::vector<WindowCandidate> candidates;
        std::optional<qint32> front;
        Rect expected;
    } cases[] = {
        {"no front process, candidates present", windows, std::nullopt, whole},
        {"the front process owns several: the first in candidate order", windows, frontApp, windows[1].rect},
        {"the front process owns none", windows, 9999, whole},
        {"no candidates", {}, frontApp, whole},
    };
    Stage stage;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OverlayView::preselection(frozen(5, c.candidates), c.front), c.expected);
        const std::unique_ptr<OverlayView> view = stage.make(frozen(5, c.candidates), c.front);
        const EditorSession& session = view->record().session;
        EXPECT_FALSE(session.document().has_value()) << "a window pick starts without a document";
        EXPECT_EQ(session.origin(), DocumentOrigin::screenCapture);
        EXPECT_EQ(session.selection(), std::optional<Rect>(c.expected)) << "the draft is the preselection";
        EXPECT_EQ(view->candidates, c.candidates);
        EXPECT_FALSE(view->isPinned());
    }
}

TEST(OverlayView, TheEditorShowsTheGrabsOwnPixels)
{
    Stage stage;
    const FrozenDisplay display = frozen();
    const std::unique_ptr<OverlayView> view = stage.make(display, std::nullopt);
    const EditorImageSource& source = view->record().source();
    EXPECT_EQ(source.id, display.sourceID);
    EXPECT_EQ(source.geometry, display.geometry);
    EXPECT_EQ(source.image.constBits(), display.image.pixels().constBits()) << "shared, not copied";
    EXPECT_EQ(view->size(), QSize(800, 500));
    EXPECT_EQ(view->capture().id, display.id);
}

TEST(OverlayView, RecoveryExistsOnlyForACommittedCaptureWithMarksUnlessJustOutput)
{
    struct Case {
        const char* name;
        bool commitSelection;
        bool withMark;
        bool afterOutput;
        bool expected;
    } cases[] = {
        {"only a draft, not after output", false, false, false, false},
        {"only a draft, after output", false, false, true, false},
        {"a selection without marks", true, false, false, false},
        {"a selection without marks, just output", true, false, true, true},
        {"a selection with a mark", true, true, false, true},
        {"a selection with a mark, just output", true, true, true, true},
    };
    Stage stage;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<OverlayView> view = stage.make(frozen(5, windows), frontApp);
        EditorSession& session = view->record().session;
        if (c.commitSelection)
            commit(session, Rect(100, 100, 300, 200),
                   c.withMark ? std::vector<Annotation>{boxMark(Rect(120, 120, 50, 40))} : std::vector<Annotation>{});
        const std::vector<FrozenDisplay> frames{frozen(4), frozen(5)};
        const std::optional<RecoveredCapture> saved = view->recovery(frames, c.afterOutput);
        ASSERT_EQ(saved.has_value(), c.expected);
        if (!saved)
            continue;
        EXPECT_EQ(saved->displayID, 5u);
        ASSERT_EQ(saved->frames.size(), 2u);
        EXPECT_EQ(saved->frames[0].sourceID, frames[0].sourceID);
        EXPECT_EQ(saved->document.id(), view->record().id());
    }
}

TEST(OverlayView, ARecoveryIsASnapshotAndReopensWithTheSameDocumentAndEditorState)
{
    Stage stage;
    const FrozenDisplay display = frozen(5, windows);
    const std::unique_ptr<OverlayView> view = stage.make(display, frontApp);
    EditorDocument& record = view->record();
    const Annotation mark = boxMark(Rect(120, 120, 50, 40));
    commit(record.session, Rect(100, 100, 300, 200), {mark});
    record.saveDraft.name = QStringLiteral("截图 2026-12-11 04.00.00.png");
    record.tool = CaptureTool::pen;
    record.shapeKind = Shape::ellipse;
    record.styles = {{CaptureTool::pen, EditorDocument::defaultStyle(CaptureTool::pen)}};
    record.selectedMarkID = mark.id;

    const std::optional<RecoveredCapture> saved = view->recovery({display}, false);
    ASSERT_TRUE(saved);
    const CaptureDocument taken = saved->document;

    // Later edits in the editor leave the recovery as it was.
    record.session.beginEdit(EditorSession::EditKind::gesture);
    record.session.setAnnotations({});
    ASSERT_TRUE(record.session.commit());
    record.tool = CaptureTool::text;
    record.selectedMarkID.reset();
    EXPECT_EQ(saved->document.content(), taken.content());
    EXPECT_EQ(saved->document.content().annotations.size(), 1u);
    EXPECT_EQ(saved->tool, CaptureTool::pen);
    EXPECT_EQ(saved->selectedMarkID, std::optional<QUuid>(mark.id));

    // Reopened on the display it belongs to: the same document id, history and editor state;
    // the marker tool gets its default style back.
    const std::unique_ptr<OverlayView> reopened = stage.make(display, frontApp, saved);
    const EditorDocument& again = reopened->record();
    EXPECT_EQ(again.id(), record.id());
    ASSERT_TRUE(again.session.document());
    EXPECT_EQ(again.session.document()->id(), record.id());
    EXPECT_EQ(again.session.document()->content(), taken.content());
    EXPECT_EQ(again.session.document()->undoStack().size(), taken.undoStack().size());
    EXPECT_EQ(again.saveDraft.name, saved->saveDraft.name);
    EXPECT_EQ(again.tool, CaptureTool::pen);
    EXPECT_EQ(again.shapeKind, Shape::ellipse);
    EXPECT_EQ(again.selectedMarkID, std::optional<QUuid>(mark.id));
    EXPECT_TRUE(again.styles.contains(CaptureTool::number));
    EXPECT_EQ(reopened->recovery({display}, false)->document.id(), record.id());
}

TEST(OverlayView, EndingACaptureDropsPendingToastsStopsTimersAndTakesTheViewOut)
{
    Stage stage;
    auto floating = std::make_shared<FakeFloatingWindows>();
    CaptureOverlaySet set(floating);
    const FrozenDisplay display = frozen();
    const auto& made = set.prepare({OverlayDisplay::of(display)});
    ASSERT_EQ(made.size(), 1u);
    auto* view = new OverlayView(display, std::nullopt, {}, stage.f.output, stage.f.outputs, std::nullopt,
                                 stage.f.feedback, stage.f.environment());
    made.front()->setContent(view);
    set.present(display.id);
    commit(view->record().session, Rect(100, 100, 500, 300), {});
    view->refresh();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(made.front()));
    // A toolbar summoned to the pointer starts the monitor that sends it back.
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(300, 200));
    ASSERT_TRUE(view->returnMonitorRunning());

    const QUuid owner = view->outputToast().owner;
    const QUuid working = QUuid::createUuid();
    const QUuid finished = QUuid::createUuid();
    ASSERT_TRUE(stage.f.feedback->begin(working, owner, ToastFixture::left, QStringLiteral("正在复制…"), {}));
    ASSERT_TRUE(stage.f.feedback->begin(finished, owner, ToastFixture::left, QStringLiteral("正在保存…"), {}));
    stage.f.feedback->success(finished, QStringLiteral("已保存截图"));

    const std::vector<QWidget*> contents = set.finish();
    ASSERT_EQ(contents.size(), 1u);
    EXPECT_EQ(contents.front(), view);
    EXPECT_EQ(stage.f.feedback->record(working), nullptr) << "a working toast goes with the window";
    EXPECT_NE(stage.f.feedback->record(finished), nullptr) << "a success toast runs out on its own";
    EXPECT_EQ(view->parentWidget(), nullptr);
    EXPECT_FALSE(view->isVisible());
    EXPECT_FALSE(view->returnMonitorRunning());
    EXPECT_FALSE(made.front()->isVisible());
    EXPECT_TRUE(made.front()->windowHandle()) << "the native window stays for the next capture";

    QPointer<QWidget> gone(view);
    view->deleteLater();
    EXPECT_TRUE(runUntil([&] { return gone.isNull(); }));
}
