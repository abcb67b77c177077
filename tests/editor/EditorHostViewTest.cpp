// The editor view's state and lifecycle, drawing and chrome placement, on the offscreen
// platform with a driven clock and pointer.
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/LoupeSample.h"
#include "app/editor/chrome/OverlayChromeShadows.h"
#include "app/base/InterfaceColors.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/HostViewFixture.h"

#include <QLabel>
#include <QPaintEvent>
#include <QTest>

using namespace vorlith;
using namespace vorlith::test;
using namespace std::chrono_literals;

namespace {

using Probe = EditorHostViewProbe;
using Phase = EditorSession::Phase;
using Kind = EditorSession::EditKind;

// Records the region of every paint the view gets.
struct PaintRecorder : QObject {
    std::vector<QRegion> regions;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            regions.push_back(static_cast<QPaintEvent*>(event)->region());
        return false;
    }
};

// A shown view of a selection at (100, 100, 200, 150) that does not follow the pointer (before
// the first commit it would pick the window under it), active when asked, its paints recorded
// from after its first one; null when it never painted or became active.
std::unique_ptr<EditorHostView> paintedView(HostViewFixture& f, PaintRecorder& recorder, bool active = false)
{
    f.document->session.setSelection(Rect(100, 100, 200, 150));
    std::unique_ptr<EditorHostView> view(f.make());
    view->setEditingEnabled(false);
    view->installEventFilter(&recorder);
    view->show();
    if (active)
        view->activateWindow();
    if (!(active ? QTest::qWaitForWindowActive(view.get()) : QTest::qWaitForWindowExposed(view.get()))
        || !runUntil([&] { return !recorder.regions.empty(); }))
        return nullptr;
    recorder.regions.clear();
    return view;
}

// A shown, active view of a committed selection with the pen's property strip open; null
// when the window never became active.
std::unique_ptr<EditorHostView> activePenViewWithStrip(HostViewFixture& f)
{
    f.commitSelection(Rect(100, 100, 600, 400));
    f.document->tool = CaptureTool::pen;
    std::unique_ptr<EditorHostView> view(f.make());
    Probe::setPropertiesOpen(*view, true);
    view->show();
    view->activateWindow();
    if (!QTest::qWaitForWindowActive(view.get()))
        return nullptr;
    view->refresh();
    return view;
}

} // namespace

// --- State and lifecycle ---

TEST(EditorHostViewState, APinMoveOpensNoEditEveryOtherGestureDoes)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 300, 200));
    std::unique_ptr<EditorHostView> view(f.make());
    view->setGesture(gesture::PinMove{{10, 10}});
    EXPECT_EQ(f.document->session.phase(), Phase::editing());
    EXPECT_TRUE(view->hasGesture());
    view->setGesture(std::nullopt);
    EXPECT_FALSE(view->hasGesture());
    EXPECT_EQ(f.document->session.phase(), Phase::editing()); // clearing closes nothing
    view->setGesture(gesture::Select{{10, 10}, std::nullopt});
    EXPECT_EQ(f.document->session.phase(), Phase::draft(Kind::gesture));
}

TEST(EditorHostViewState, PendingTerminationWork)
{
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view(f.make());
    // No document yet, even with a dragged draft.
    f.document->session.setSelection(Rect(10, 10, 100, 100));
    EXPECT_FALSE(view->hasPendingTerminationWork());

    f.commitSelection(Rect(10, 10, 100, 100));
    AnnotationStyle yellowText = f.document->styles.value(CaptureTool::text);
    yellowText.color = RGBA::Yellow;
    f.document->styles[CaptureTool::text] = yellowText;
    Annotation text{QUuid::createUuid(), Annotation::Kind::text, {{20, 20}}, yellowText, QStringLiteral("你好\n世界"), 1};
    f.commitMarks({text});
    EXPECT_TRUE(view->hasPendingTerminationWork()); // never output
    const std::optional<QUuid> token = f.document->session.beginOutput();
    ASSERT_TRUE(token);
    ASSERT_TRUE(f.document->session.finishOutput(*token, true));
    EXPECT_FALSE(view->hasPendingTerminationWork());

    // An open edit that changed the marks.
    f.document->session.beginEdit(Kind::gesture);
    f.document->session.setAnnotations({});
    EXPECT_TRUE(view->hasPendingTerminationWork());
    f.document->session.cancelEdit();
    EXPECT_FALSE(view->hasPendingTerminationWork());

    CaptureTextView editor;
    struct Case {
        const char* name;
        std::optional<QUuid> editing;
        QString typed;
        std::optional<RGBA> textColor; // the text tool's colour, changed while the box is open
        bool pending;
    };
    const Case cases[] = {
        {"new text, blank", std::nullopt, QStringLiteral("  \n\t"), {}, false},
        {"new text, one character", std::nullopt, QStringLiteral(" a "), {}, true},
        {"the mark's text and style", text.id, QStringLiteral("你好\n世界"), {}, false},
        {"the mark's text with CR LF newlines", text.id, QStringLiteral("你好\r\n世界"), {}, false},
        {"other text", text.id, QStringLiteral("你好吗"), {}, true},
        {"only the text tool's colour changed", text.id, QStringLiteral("你好\n世界"), RGBA::Red, true},
    };
    const QHash<CaptureTool, AnnotationStyle> styles = f.document->styles;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.document->styles = styles;
        if (c.textColor)
            f.document->styles[CaptureTool::text].color = *c.textColor;
        editor.setPlainText(c.typed);
        Probe::openText(*view, &editor, c.editing);
        EXPECT_EQ(view->hasPendingTerminationWork(), c.pending);
    }
    // Without the text tool's style, a commit would give the red 28-point default.
    f.document->styles.remove(CaptureTool::text);
    editor.setPlainText(QStringLiteral("你好\n世界"));
    EXPECT_TRUE(view->hasPendingTerminationWork());
}

TEST(EditorHostViewState, VisibleMarksLeaveOutTheTextBeingEdited)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 400, 300));
    const Annotation a = boxMark(Rect(10, 10, 50, 50));
    const Annotation b = boxMark(Rect(100, 10, 50, 50));
    f.commitMarks({a, b});
    std::unique_ptr<EditorHostView> view(f.make());
    EXPECT_EQ(view->visibleMarks(), (std::vector<Annotation>{a, b}));
    CaptureTextView editor;
    Probe::openText(*view, &editor, a.id);
    EXPECT_EQ(view->visibleMarks(), (std::vector<Annotation>{b}));
}

TEST(EditorHostViewState, SuspendingTwiceThenResumingOnceFullyResumes)
{
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view = activePenViewWithStrip(f);
    ASSERT_TRUE(view);
    StripField* field = view->properties()->field(ToolProperties::FieldRole::width);
    ASSERT_TRUE(field && field->isVisible());
    QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(4, field->height() / 2));
    ASSERT_TRUE(runUntil([&] { return field->hasFocus(); }));
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("7"));

    view->setInputSuspended(true);
    view->setInputSuspended(true);
    EXPECT_TRUE(view->inputSuspended());
    EXPECT_FALSE(field->hasFocus());
    EXPECT_TRUE(field->isReadOnly());
    EXPECT_TRUE(view->toolbar()->busy());
    EXPECT_FALSE(view->prepareForExternalAction());

    view->setInputSuspended(false);
    EXPECT_FALSE(view->inputSuspended());
    EXPECT_FALSE(view->toolbar()->busy());
    EXPECT_TRUE(runUntil([&] { return field->hasFocus(); }));
    EXPECT_FALSE(field->isReadOnly());
    EXPECT_EQ(field->text(), QStringLiteral("7"));
}

TEST(EditorHostViewState, CommitContentPassesTheAreaAndTheMemoryGate)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 300, 200));
    std::unique_ptr<EditorHostView> view(f.make());
    int changes = 0;
    view->onContentChanged = [&] { ++changes; };

    // A selection without width changes nothing.
    f.document->session.beginEdit(Kind::gesture);
    f.document->session.setSelection(Rect(100, 100, 0, 40));
    EXPECT_FALSE(view->commitContent());
    EXPECT_EQ(f.document->session.phase(), Phase::draft(Kind::gesture));
    EXPECT_EQ(f.document->session.document()->content().selection, Rect(100, 100, 300, 200));
    f.document->session.cancelEdit();

    // The memory gate refuses: the committed content stays, the edit is closed, and the
    // editor says so.
    const Annotation mark = boxMark(Rect(120, 120, 50, 50));
    int asked = 0;
    f.document->canCommitSession = [&](const EditorSession& trial) {
        ++asked;
        EXPECT_EQ(trial.annotations().size(), 1u);
        return false;
    };
    view->setGesture(gesture::Draw{mark});
    f.document->session.setAnnotations({mark});
    EXPECT_FALSE(view->commitContent());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(f.document->session.phase(), Phase::editing());
    EXPECT_TRUE(f.document->session.document()->content().annotations.empty());
    EXPECT_TRUE(f.document->session.annotations().empty());
    EXPECT_EQ(view->feedbackLabel()->text(), QStringLiteral("内存预算不足，本次修改未提交，已有内容已保留。"));
    EXPECT_FALSE(view->feedbackLabel()->isHidden());
    EXPECT_EQ(changes, 0);

    // Allowed: the content is the document's and the owner hears of it.
    f.document->canCommitSession = [](const EditorSession&) { return true; };
    view->setGesture(gesture::Draw{mark});
    f.document->session.setAnnotations({mark});
    EXPECT_TRUE(view->commitContent());
    EXPECT_EQ(f.document->session.document()->content().annotations, std::vector<Annotation>{mark});
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks() == std::vector<Annotation>{mark}; }));
}

TEST(EditorHostViewState, RestoreTakesTheEditorStateAndAddsAMissingMarkerStyle)
{
    for (const bool withNumberStyle : {false, true}) {
        SCOPED_TRACE(withNumberStyle);
        HostViewFixture f;
        std::unique_ptr<EditorHostView> view(f.make());
        CaptureDocument saved(QUuid::createUuid(), Rect(50, 50, 200, 100), DocumentOrigin::screenCapture,
                              EditorSession::historyBudget);
        RecoveredCapture recovered{.document = saved, .tool = CaptureTool::arrow};
        recovered.styles.insert(CaptureTool::arrow, plainStyle);
        AnnotationStyle blueMarker = plainStyle;
        blueMarker.color = RGBA::Yellow;
        if (withNumberStyle)
            recovered.styles.insert(CaptureTool::number, blueMarker);
        recovered.shapeKind = Shape::ellipse;
        recovered.selectedMarkID = QUuid::createUuid();
        view->restore(recovered);

        EXPECT_EQ(f.document->session.document()->content().selection, Rect(50, 50, 200, 100));
        EXPECT_EQ(f.document->tool, CaptureTool::arrow);
        EXPECT_EQ(f.document->shapeKind, Shape::ellipse);
        EXPECT_EQ(f.document->selectedMarkID, recovered.selectedMarkID);
        EXPECT_TRUE(view->propertiesOpen());
        const AnnotationStyle number = f.document->styles.value(CaptureTool::number);
        if (withNumberStyle) {
            EXPECT_EQ(number, blueMarker);
        } else {
            EXPECT_EQ(number.color, RGBA::Red);
            EXPECT_EQ(number.fontSize, 24);
            EXPECT_EQ(number.width, 2);
            EXPECT_EQ(number.opacity, 0.35);
        }
    }
}

TEST(EditorHostViewState, CancelPinMoveEndsOnlyAPinMove)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 400, 300));
    std::unique_ptr<EditorHostView> view(f.make(true));
    std::vector<bool> ended;
    view->onPinMoveEnded = [&](bool cancelled) { ended.push_back(cancelled); };

    view->setGesture(gesture::Select{{5, 5}, std::nullopt});
    view->cancelPinMove();
    EXPECT_TRUE(view->hasGesture());
    EXPECT_TRUE(ended.empty());
    view->setGesture(std::nullopt);
    f.document->session.cancelEdit();

    // Below its threshold: cleared quietly.
    view->setGesture(gesture::PinMove{{5, 5}});
    view->cancelPinMove();
    EXPECT_FALSE(view->hasGesture());
    EXPECT_TRUE(ended.empty());

    view->setGesture(gesture::PinMove{{5, 5}});
    Probe::setPinMoveStarted(*view, true);
    view->cancelPinMove();
    EXPECT_FALSE(view->hasGesture());
    EXPECT_FALSE(view->pinMoveStarted());
    EXPECT_EQ(ended, std::vector<bool>{true});
}

TEST(EditorHostViewState, AnOwnerMayDeleteTheViewInsideItsCallbacks)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 400, 300));
    {
        QPointer<EditorHostView> view = f.make(true);
        view->onPinMoveEnded = [&](bool) { delete view.data(); };
        view->setGesture(gesture::PinMove{{5, 5}});
        Probe::setPinMoveStarted(*view, true);
        view->cancelPinMove();
        EXPECT_TRUE(view.isNull());
    }
    {
        QPointer<EditorHostView> view = f.make();
        view->onContentChanged = [&] { delete view.data(); };
        view->setGesture(gesture::Draw{boxMark(Rect(10, 10, 20, 20))});
        f.document->session.setAnnotations({boxMark(Rect(10, 10, 20, 20))});
        EXPECT_TRUE(view->commitContent());
        EXPECT_TRUE(view.isNull());
    }
    {
        // The pin places its toolbar from inside positionControls() and may close there.
        QPointer<EditorHostView> view = f.make(true);
        view->onPositionChrome = [&](EditorHostView&) { delete view.data(); };
        view->refresh();
        EXPECT_TRUE(view.isNull());
    }
}

TEST(EditorHostViewState, DeletingTheViewWhileAPreviewIsPendingIsSafe)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 400, 300));
    f.commitMarks({boxMark(Rect(10, 10, 50, 50)), boxMark(Rect(80, 10, 50, 50))});
    auto* view = f.make();
    view->renderMarks();
    ASSERT_TRUE(f.document->compositor().hasPreviewInFlight());
    delete view;
    EXPECT_TRUE(runUntil([&] { return !f.document->compositor().hasPreviewInFlight(); }));
    EXPECT_EQ(f.document->compositor().cachedMarks().size(), 2u);
}

TEST(EditorHostViewState, ClosingTheWindowDropsPendingToastsButNotFinishedOnes)
{
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view(f.make());
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    const QUuid owner = view->outputToast().owner;
    const QUuid working = QUuid::createUuid();
    const QUuid finished = QUuid::createUuid();
    const QUuid foreign = QUuid::createUuid();
    ASSERT_TRUE(f.feedback->begin(working, owner, ToastFixture::left, QStringLiteral("正在复制…"), {}));
    ASSERT_TRUE(f.feedback->begin(foreign, QUuid::createUuid(), ToastFixture::left, QStringLiteral("正在复制…"), {}));
    ASSERT_TRUE(f.feedback->begin(finished, owner, ToastFixture::left, QStringLiteral("正在保存…"), {}));
    f.feedback->success(finished, QStringLiteral("已保存截图"));
    ASSERT_NE(f.feedback->record(finished), nullptr);
    view->close();
    EXPECT_EQ(f.feedback->record(working), nullptr);
    EXPECT_NE(f.feedback->record(finished), nullptr);
    EXPECT_NE(f.feedback->record(foreign), nullptr);
}

// --- Drawing ---

TEST(EditorHostViewDrawing, TheMaskDimsOutsideTheSelectionAndLeavesItClear)
{
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view(f.make());
    const QColor clear = HostViewFixture::pictureColor;
    const QColor dim = dimmed(clear);
    struct Case {
        const char* name;
        std::optional<Rect> selection;
        bool interactive;
        QColor inside; // at (300, 300)
    };
    const Case cases[] = {
        {"no selection: all dimmed", std::nullopt, true, dim},
        {"a selection: clear inside", Rect(100, 100, 600, 400), true, clear},
        {"no width: all dimmed", Rect(100, 100, 0, 400), true, dim},
        {"another display holds the selection: all dimmed", Rect(100, 100, 600, 400), false, dim},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        f.document->session.setSelection(c.selection);
        view->canInteract = [&] { return c.interactive; };
        for (const double scale : {1.0, 2.0}) {
            SCOPED_TRACE(scale);
            const QImage image = drawnPicture(*view, scale);
            EXPECT_TRUE(near(pixelAt(image, {300, 300}), c.inside)) << pixelAt(image, {300, 300}).name().toStdString();
            EXPECT_TRUE(near(pixelAt(image, {1200, 800}), dim));
            EXPECT_TRUE(near(pixelAt(image, {50, 50}), dim));
        }
    }
}

TEST(EditorHostViewDrawing, SelectionChromeOutlineHandlesAndSizeLabel)
{
    HostViewFixture f;
    f.document->session.setSelection(Rect(100, 100, 600, 400));
    std::unique_ptr<EditorHostView> view(f.make());
    const QImage image = drawnPicture(*view);
    // The selection's edge in white, the outline just outside it.
    EXPECT_TRUE(near(pixelAt(image, {250, 100}), Qt::white)) << pixelAt(image, {250, 100}).name().toStdString();
    EXPECT_TRUE(near(pixelAt(image, {250, 99}), InterfaceColors::captureOutline()))
        << pixelAt(image, {250, 99}).name().toStdString();
    // The top-centre handle, inside its square.
    EXPECT_TRUE(near(pixelAt(image, {398, 98}), InterfaceColors::captureHandle()));
    // The size label (1200 × 800 pixels) above the selection: dark.
    const Rect label = view->sizeLabelFrame(Rect(100, 100, 600, 400), 60);
    EXPECT_EQ(label.origin, (Point{100, 71}));
    const QColor body = pixelAt(image, {102, 73});
    EXPECT_LT(body.red() + body.green() + body.blue(), 120);
}

TEST(EditorHostViewDrawing, APinDrawsNoMaskAndNoSelectionChrome)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 1440, 900));
    std::unique_ptr<EditorHostView> view(f.make(true));
    const QImage image = drawnPicture(*view);
    EXPECT_TRUE(near(pixelAt(image, {0, 0}), HostViewFixture::pictureColor));
    EXPECT_TRUE(near(pixelAt(image, {720, 450}), HostViewFixture::pictureColor));
    EXPECT_TRUE(near(pixelAt(image, {4, 4}), HostViewFixture::pictureColor));
}

TEST(EditorHostViewDrawing, MarksShowInsideTheSelectionOnly)
{
    HostViewFixture f;
    f.commitSelection(Rect(100, 100, 400, 300));
    AnnotationStyle thick = plainStyle;
    thick.width = 20;
    Annotation across{QUuid::createUuid(), Annotation::Kind::line, {{50, 200}, {700, 200}}, thick, QString(), 1};
    f.commitMarks({across});
    std::unique_ptr<EditorHostView> view(f.make());
    view->renderMarks();
    ASSERT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks().size() == 1; }));
    const QImage image = drawnPicture(*view);
    const QColor inside = pixelAt(image, {300, 200});
    EXPECT_GT(inside.red(), 200);
    EXPECT_LT(inside.green(), 80);
    EXPECT_TRUE(near(pixelAt(image, {600, 200}), dimmed(HostViewFixture::pictureColor)));
    EXPECT_TRUE(near(pixelAt(image, {70, 200}), dimmed(HostViewFixture::pictureColor)));
}

namespace {

// White pixels (the handle circles' fill) around a widget point.
int whitePixelsAround(const QImage& image, QPoint center, int radius)
{
    int count = 0;
    for (int y = center.y() - radius; y <= center.y() + radius; ++y)
        for (int x = center.x() - radius; x <= center.x() + radius; ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.red() > 250 && c.green() > 250 && c.blue() > 250;
        }
    return count;
}

} // namespace

TEST(EditorHostViewDrawing, MarkHandlesKeepTheirSizeOnScreenAtAnyZoom)
{
    HostViewFixture f(solidImage(QSize(400, 300), HostViewFixture::pictureColor), Size{400, 300});
    f.commitSelection(Rect(0, 0, 400, 300));
    const Annotation box = boxMark(Rect(100, 100, 150, 100));
    f.commitMarks({box});
    f.document->selectedMarkID = box.id;
    std::unique_ptr<EditorHostView> view(f.make(true));
    view->renderMarks();
    ASSERT_TRUE(runUntil([&] { return !f.document->compositor().hasPreviewInFlight(); }));

    const QImage at100 = drawnPicture(*view);
    const Point corner100 = view->markHandles(box)[2]; // top right
    const int white100 = whitePixelsAround(at100, toQPointF(corner100).toPoint(), 12);
    EXPECT_GT(white100, 10);

    view->setViewScale(2);
    EXPECT_EQ(view->size(), QSize(800, 600));
    const QImage at200 = drawnPicture(*view);
    const Point corner200 = view->markHandles(box)[2];
    EXPECT_EQ(corner200, (Point{251.5, 98.5})); // the frame grows by 1.5 points = 3 screen pixels
    const int white200 = whitePixelsAround(at200, (toQPointF(corner200) * 2).toPoint(), 12);
    EXPECT_NEAR(white200, white100, white100 / 4);
    saveTestImage(at200, QStringLiteral("editor-pin-handles-200"));
}

TEST(EditorHostViewDrawing, AMovedSelectionRepaintsTheOldAndNewPlacesOnly)
{
    HostViewFixture f;
    PaintRecorder recorder;
    const std::unique_ptr<EditorHostView> view = paintedView(f, recorder);
    ASSERT_NE(view, nullptr);

    f.document->session.setSelection(Rect(700, 400, 200, 150));
    view->setNeedsDisplay();
    ASSERT_TRUE(runUntil([&] { return !recorder.regions.empty(); }));
    QRegion painted;
    for (const QRegion& region : recorder.regions)
        painted += region;
    EXPECT_TRUE(painted.contains(QRect(100, 100, 200, 150)));
    EXPECT_TRUE(painted.contains(QRect(700, 400, 200, 150)));
    EXPECT_TRUE(painted.contains(QRect(700, 371, 60, 21))); // the new size label
    EXPECT_FALSE(painted.intersects(QRect(1000, 0, 440, 300)));
    EXPECT_FALSE(painted.intersects(QRect(0, 600, 600, 300)));
}

// Nothing the view draws depends on its keyboard focus: taking it and losing it repaint nothing
// (QWidget's own handlers would repaint the whole view, a full screen on a capture overlay).
TEST(EditorHostViewDrawing, FocusComingAndGoingRepaintsNothing)
{
    HostViewFixture f;
    PaintRecorder recorder;
    const std::unique_ptr<EditorHostView> view = paintedView(f, recorder, true);
    ASSERT_NE(view, nullptr);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        view->clearFocus();
        ASSERT_TRUE(runUntil([&] { return !view->hasFocus(); }));
        recorder.regions.clear();
        view->setFocus(Qt::ActiveWindowFocusReason);
        ASSERT_TRUE(runUntil([&] { return view->hasFocus(); }));
        view->clearFocus();
        ASSERT_TRUE(runUntil([&] { return !view->hasFocus(); }));
        spin(50ms);
        EXPECT_TRUE(recorder.regions.empty());
    }
}

// --- Chrome placement ---

TEST(EditorHostViewChrome, TheToolbarStandsBesideTheSelectionOnceADocumentExists)
{
    HostViewFixture f;
    f.document->session.setSelection(Rect(300, 200, 600, 300));
    std::unique_ptr<EditorHostView> view(f.make());
    view->show();
    view->refresh();
    EXPECT_TRUE(view->toolbar()->isHidden()); // window pick
    EXPECT_FALSE(view->captureHint()->isHidden());
    EXPECT_EQ(view->captureHint()->text(), QStringLiteral("单击选取窗口 · 拖动自定义区域"));

    f.commitSelection(Rect(300, 200, 600, 300));
    view->refresh();
    ASSERT_FALSE(view->toolbar()->isHidden());
    const Rect toolbar = view->toolbarFrameInView();
    EXPECT_EQ(toolbar.minY(), 510); // 10 under the selection
    EXPECT_EQ(view->captureHint()->text(), QStringLiteral("拖动边缘调整范围"));
    // The pill keeps clear of the toolbar and the handles.
    EXPECT_FALSE(toRect(QRectF(view->captureHint()->geometry())).intersects(toolbar));
    // The toolbar's shadow and the pill's are drawn behind them.
    ASSERT_EQ(view->chromeShadows()->items().size(), 2u);
    EXPECT_EQ(view->chromeShadows()->items()[0].frame, toolbar);

    // Editing off (a pin's plain image, or here): no toolbar.
    view->setEditingEnabled(false);
    EXPECT_TRUE(view->toolbar()->isHidden());
    view->setEditingEnabled(true);
    // The owner withdraws input: no toolbar, no pill.
    view->canInteract = [] { return false; };
    view->refresh();
    EXPECT_TRUE(view->toolbar()->isHidden());
    EXPECT_TRUE(view->captureHint()->isHidden());
}

TEST(EditorHostViewChrome, ThePillMovesAsideWhenAHandleOverlapsIt)
{
    HostViewFixture f;
    f.commitSelection(Rect(420, 50, 600, 400));
    std::unique_ptr<EditorHostView> view(f.make());
    view->show();
    view->refresh();
    const QRect pill = view->captureHint()->geometry();
    EXPECT_EQ(pill.topLeft(), QPoint(8, 48));
    // While a gesture runs on a document, the pill hides.
    view->setGesture(gesture::Move{{500, 100}, Rect(420, 50, 600, 400)});
    view->refresh();
    EXPECT_TRUE(view->captureHint()->isHidden());
}

TEST(EditorHostViewChrome, InAPinTheOwnerPlacesTheToolbar)
{
    HostViewFixture f;
    f.commitSelection(Rect(0, 0, 1440, 900));
    std::unique_ptr<EditorHostView> view(f.make(true));
    view->show();
    int placed = 0;
    view->onPositionChrome = [&](EditorHostView& v) {
        EXPECT_EQ(&v, view.get());
        ++placed;
    };
    view->toolbar()->move(33, 44);
    view->refresh();
    EXPECT_GE(placed, 1);
    EXPECT_EQ(view->toolbar()->pos(), QPoint(33, 44));
    EXPECT_TRUE(view->captureHint()->isHidden());
    EXPECT_TRUE(view->toolbar()->isPinnedEditing);
}

namespace {

// Swallows hover events: the platform's own cursor stays where the last click was, and a hover
// there would send a summoned toolbar back; these tests move the pointer through the
// environment only.
struct NoHover : QObject {
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Enter)
            return true;
        if (event->type() == QEvent::MouseMove)
            return static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton;
        return false;
    }
};

struct SummonFixture : HostViewFixture {
    NoHover noHover;
    std::unique_ptr<EditorHostView> view;
    QPoint click{400, 300};

    SummonFixture()
    {
        commitSelection(Rect(200, 150, 900, 600));
        view.reset(make());
        view->installEventFilter(&noHover);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->refresh();
    }

    bool summon(QPoint at)
    {
        pointer = view->mapToGlobal(QPointF(at));
        QTest::mouseClick(view.get(), Qt::RightButton, {}, at);
        return document->toolbarPlacement.temporary().has_value();
    }

    Rect temporaryFrame() const
    {
        return Rect(document->toolbarPlacement.temporary()->position, toSize(QSizeF(view->toolbar()->size())));
    }

    void pointAt(Point inView) { pointer = view->mapToGlobal(toQPointF(inView)); }
};

} // namespace

TEST(EditorHostViewChrome, ASummonedToolbarReturnsAfterThePointerStaysAwayLongEnough)
{
    SummonFixture f;
    ASSERT_TRUE(f.summon(f.click));
    EXPECT_TRUE(f.view->returnMonitorRunning());
    EXPECT_TRUE(f.view->discoverySeen());
    EXPECT_EQ(Rect(f.view->toolbarFrameInView()).origin, f.document->toolbarPlacement.temporary()->position);

    // 100 from the toolbar and from the click, off the corridor between them.
    const Rect toolbar = f.temporaryFrame();
    f.pointAt({toolbar.maxX() + 100, toolbar.minY() + 10});
    Probe::tickReturnMonitor(*f.view);
    f.advance(290ms);
    Probe::tickReturnMonitor(*f.view);
    EXPECT_TRUE(f.document->toolbarPlacement.temporary());
    f.advance(10ms);
    Probe::tickReturnMonitor(*f.view);
    EXPECT_FALSE(f.document->toolbarPlacement.temporary());
    EXPECT_FALSE(f.view->returnMonitorRunning());

    // The same through the monitor's own timer.
    ASSERT_TRUE(f.summon(f.click));
    f.pointAt({f.temporaryFrame().maxX() + 100, f.temporaryFrame().minY() + 10});
    // The away time counts from the monitor's first tick that sees the pointer away; a slow
    // machine may take a while to get there, and the test clock stands still meanwhile.
    ASSERT_TRUE(runUntil([&] { return Probe::returnMonitorSawPointerAway(*f.view); }));
    EXPECT_TRUE(f.document->toolbarPlacement.temporary());
    f.advance(300ms);
    EXPECT_TRUE(runUntil([&] { return !f.document->toolbarPlacement.temporary(); }));
}

TEST(EditorHostViewChrome, ASummonedToolbarStaysWhileThePointerIsNearOrAModalIsOpen)
{
    SummonFixture f;
    ASSERT_TRUE(f.summon(f.click));
    const Rect toolbar = f.temporaryFrame();
    // 60 from the toolbar: near.
    f.pointAt({toolbar.maxX() + 60, toolbar.minY() + 10});
    for (int i = 0; i < 5; ++i) {
        Probe::tickReturnMonitor(*f.view);
        f.advance(1s);
    }
    EXPECT_TRUE(f.document->toolbarPlacement.temporary());

    // Far away, but a modal window is open.
    f.modal = true;
    f.pointAt({toolbar.maxX() + 200, toolbar.minY() + 10});
    for (int i = 0; i < 5; ++i) {
        Probe::tickReturnMonitor(*f.view);
        f.advance(1s);
    }
    EXPECT_TRUE(f.document->toolbarPlacement.temporary());
    // The away time counts from when the modal closed.
    f.modal = false;
    Probe::tickReturnMonitor(*f.view);
    f.advance(299ms);
    Probe::tickReturnMonitor(*f.view);
    EXPECT_TRUE(f.document->toolbarPlacement.temporary());
    f.advance(1ms);
    Probe::tickReturnMonitor(*f.view);
    EXPECT_FALSE(f.document->toolbarPlacement.temporary());
}

TEST(EditorHostViewChrome, ASecondSummonReplacesTheFirstMonitor)
{
    SummonFixture f;
    ASSERT_TRUE(f.summon(f.click));
    const quint64 first = f.document->toolbarPlacement.temporary()->token;
    ASSERT_TRUE(f.summon(QPoint(900, 600)));
    EXPECT_NE(f.document->toolbarPlacement.temporary()->token, first);
    EXPECT_TRUE(f.view->returnMonitorRunning());
}

TEST(EditorHostViewChrome, SecondaryClicksThatSummonNothing)
{
    SummonFixture f;
    EXPECT_FALSE(f.summon(QPoint(100, 100))); // outside the selection
    f.view->setInputSuspended(true);
    EXPECT_FALSE(f.summon(f.click));
    f.view->setInputSuspended(false);
    f.view->setGesture(gesture::Move{{400, 300}, Rect(200, 150, 900, 600)});
    EXPECT_FALSE(f.summon(f.click));
    f.view->setGesture(std::nullopt);
    f.document->session.cancelEdit();
    EXPECT_FALSE(f.view->discoverySeen());
    EXPECT_TRUE(f.summon(f.click));
}

TEST(EditorHostViewChrome, TheDiscoveryHintShowsUntilTheFirstSummonThenOnlyOnHover)
{
    SummonFixture f;
    ASSERT_TRUE(f.view->discoveryPanel());
    EXPECT_TRUE(f.view->discoveryPanel()->isVisible());
    EXPECT_EQ(f.view->discoveryPanel()->text(), QStringLiteral("右键，将工具栏召唤到鼠标旁"));
    // Under the toolbar, or over it where the screen ends below it.
    const Rect toolbar = f.view->toolbarGlobalFrame();
    const int top = f.view->discoveryPanel()->geometry().top();
    EXPECT_TRUE(top == int(toolbar.maxY() + 8) || top == int(toolbar.minY() - 32)) << top;

    ASSERT_TRUE(f.summon(f.click));
    EXPECT_FALSE(f.view->discoveryPanel()->isVisible());
    f.pointer = toQPointF(f.view->toolbarGlobalFrame().center());
    f.view->toolbar()->onHover();
    // Back in place, then hovered for the delay: shown again while the pointer stays.
    f.advance(1s);
    Probe::tickReturnMonitor(*f.view);
    f.view->restoreToolbarTemporary();
    f.pointer = toQPointF(f.view->toolbarGlobalFrame().center());
    f.view->toolbar()->onHover();
    EXPECT_TRUE(runUntil([&] { return f.view->hoverHintVisible(); }));
    EXPECT_TRUE(f.view->discoveryPanel()->isVisible());
    f.pointer = QPointF(-1000, -1000);
    f.view->refresh();
    EXPECT_FALSE(f.view->hoverHintVisible());
    EXPECT_FALSE(f.view->discoveryPanel()->isVisible());
}

// --- Loupe ---

TEST(EditorHostViewLoupe, FollowsThePointerBeforeASelectionIsCommitted)
{
    HostViewFixture f(test::noiseImage(QSize(2880, 1800)));
    std::unique_ptr<EditorHostView> view(f.make());
    view->updateLoupe({100, 100}, false);
    ASSERT_TRUE(view->pointerPoint());
    EXPECT_EQ(*view->pointerPoint(), (Point{100, 100}));
    const QRgb under = LoupeSample::unpremultiplied(f.document->source().image.pixel(200, 200));
    EXPECT_EQ(view->sampledHex(), QColor(under).name(QColor::HexRgb).toUpper());
    EXPECT_FALSE(view->loupe()->isHidden());
    EXPECT_EQ(view->loupe()->pos(), QPoint(120, 120));
    EXPECT_FALSE(view->loupe()->isDragging);
    view->updateLoupe({1430, 890}, true);
    EXPECT_EQ(view->loupe()->pos(), QPoint(1430 - 182 - 20, 890 - 176 - 20));
    EXPECT_TRUE(view->loupe()->isDragging);

    // Outside the image: hidden and forgotten.
    view->updateLoupe({1440, 10}, false);
    EXPECT_TRUE(view->loupe()->isHidden());
    EXPECT_FALSE(view->pointerPoint());
    EXPECT_FALSE(view->sampledHex());

    // Once a selection is committed it stays hidden.
    f.commitSelection(Rect(0, 0, 100, 100));
    view->updateLoupe({100, 100}, false);
    EXPECT_TRUE(view->loupe()->isHidden());
    EXPECT_FALSE(view->sampledHex());
}

TEST(EditorHostViewLoupe, APinNeverShowsTheLoupe)
{
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view(f.make(true));
    view->updateLoupe({100, 100}, false);
    EXPECT_TRUE(view->loupe()->isHidden());
    EXPECT_FALSE(view->pointerPoint());
}

TEST(EditorHostViewChrome, AToolbarMovedIntoAnotherWindowIsPlacedThroughGlobalCoordinates)
{
    HostViewFixture f;
    f.commitSelection(Rect(300, 200, 600, 300));
    std::unique_ptr<EditorHostView> view(f.make());
    view->move(50, 40);
    view->show();
    view->refresh();
    const Rect inPlace = view->toolbarFrameInView();

    // A panel elsewhere on the screen takes the toolbar, as a pin's chrome does.
    QWidget panel;
    panel.setGeometry(700, 500, 900, 300);
    view->toolbar()->setParent(&panel);
    panel.show();
    view->refresh();
    EXPECT_EQ(view->toolbarFrameInView(), inPlace);
    EXPECT_EQ(view->toolbar()->mapToGlobal(QPoint(0, 0)), view->mapToGlobal(toQPointF(inPlace.origin).toPoint()));
    view->toolbar()->setParent(view.get()); // given back before the panel goes
}

TEST(EditorHostViewState, ActiveTextInputIsATextBoxOrAFieldWithTheKeyboard)
{
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view = activePenViewWithStrip(f);
    ASSERT_TRUE(view);
    EXPECT_FALSE(view->hasActiveTextInput());
    StripField* field = view->properties()->field(ToolProperties::FieldRole::width);
    ASSERT_TRUE(field);
    field->setFocus();
    ASSERT_TRUE(runUntil([&] { return field->hasFocus(); }));
    EXPECT_TRUE(view->hasActiveTextInput());
    view->setFocus();
    ASSERT_TRUE(runUntil([&] { return view->hasFocus(); }));
    EXPECT_FALSE(view->hasActiveTextInput());
    CaptureTextView editor;
    Probe::openText(*view, &editor, std::nullopt);
    EXPECT_TRUE(view->hasActiveTextInput());
}

TEST(EditorHostViewState, DeletingTheViewDuringAToolbarDragIsSafe)
{
    HostViewFixture f;
    f.commitSelection(Rect(300, 200, 600, 300));
    auto* view = f.make();
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));
    view->refresh();
    CaptureToolbar* toolbar = view->toolbar();
    f.pointer = toolbar->mapToGlobal(QPointF(toolbar->width() / 2.0, 4));
    QTest::mousePress(toolbar, Qt::LeftButton, {}, QPoint(toolbar->width() / 2, 4));
    ASSERT_TRUE(view->isDraggingToolbar());
    ASSERT_TRUE(toolbar->dragging());
    // The bar, hidden as the view goes, ends its drag once; the view must not hear of it.
    delete view;
}

// At scale 1.5 a window of 160 × 100 pixels is a fractional rectangle of points; picked, its
// label reads its own pixels, as the copy crops them (it read "161 × 101").
TEST(EditorHostView, AWindowPickedAtScaleOneAndAHalfIsLabelledWithItsOwnPixels)
{
    HostViewFixture f{solidImage(QSize(1366, 768), HostViewFixture::pictureColor), Size{1366 / 1.5, 768 / 1.5}};
    const Rect window(301 / 1.5, 151 / 1.5, 160 / 1.5, 100 / 1.5);
    f.commitSelection(window);
    std::unique_ptr<EditorHostView> view(f.make());
    view->show();
    ASSERT_TRUE(view->refresh());
    EXPECT_EQ(f.document->source().geometry.pixels(window), Rect(301, 151, 160, 100));
    const QImage shown = renderedView(*view, 1.5);
    saveTestImage(shown.copy(QRect(250, 80, 320, 200)), QStringLiteral("editor-host-size-label-scale-1.5"));
    const Rect label = view->sizeLabelFrame(window, 80);
    const QColor body = pixelAt(shown, QPointF(label.minX() + 3, label.midY()));
    EXPECT_LT(body.red() + body.green() + body.blue(), 120) << "the label is drawn where its frame says";
}
