// The editor view's commands and outputs: the toolbar's keys, history, copy and save through
// the application-wide output gate, cancel and retry, and the loupe's colour copy.
#include "app/editor/chrome/CaptureLoupeView.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"
#include "core/SharedWorkQueues.h"
#include "editor/HeldRenderSlot.h"
#include "editor/HostViewFixture.h"
#include "support/FakeSavePanel.h"

#include <QImageReader>
#include <QBuffer>
#include <QLabel>
#include <QTemporaryDir>

using namespace vorlith;
using namespace vorlith::test;

namespace {

using Phase = FeedbackCoordinator::Phase;

const Rect selection(100, 100, 200, 150); // 400 × 300 pixels at density 2

// What the owner of a view was told.
struct OwnerLog {
    std::vector<EditorOutputSuccess> completed;
    std::vector<bool> pendingWhenCompleted;
    QStringList successes;
    int exits = 0;

    void watch(EditorHostView& view)
    {
        view.onOutputCompleted = [this](const EditorOutputSuccess& success) {
            completed.push_back(success);
            pendingWhenCompleted.push_back(success.document.isPendingOutput());
        };
        view.onOutputSuccess = [this](const QString& message) { successes << message; };
        view.onExit = [this] { ++exits; };
    }
};

std::optional<QImage> clipboardImage(const FakePasteboard& pasteboard)
{
    if (pasteboard.writes.isEmpty() || pasteboard.writes.last().isEmpty())
        return std::nullopt;
    const std::optional<QByteArray> png = pasteboard.writes.last().first().data(PasteboardType::png());
    if (!png)
        return std::nullopt;
    QImage image;
    if (!image.loadFromData(*png, "PNG"))
        return std::nullopt;
    return image;
}

// A view over a committed selection with one arrow, its owner log, and the fake clipboard.
struct OutputFixture {
    std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view;
    OwnerLog owner;
    Annotation arrow{QUuid::createUuid(), Annotation::Kind::arrow, {{120, 120}, {250, 200}}, plainStyle, QString(), 1};

    explicit OutputFixture(std::shared_ptr<OutputCoordinator> outputs = {})
    {
        f.output = std::make_shared<OutputService>(pasteboard);
        if (outputs)
            f.outputs = std::move(outputs);
        f.commitSelection(selection);
        f.commitMarks({arrow});
        view.reset(f.make());
        owner.watch(*view);
    }
    ~OutputFixture()
    {
        view.reset();
        runUntil(outputsIdle);
    }

    bool locked() const { return f.document->session.isOutputLocked(); }
    const FeedbackCoordinator::Record* toast(const QUuid& id) const { return f.feedback->record(id); }
    std::optional<QUuid> activeRequest() const
    {
        return f.outputs->active() ? std::optional<QUuid>(f.outputs->active()->requestID) : std::nullopt;
    }
};

} // namespace

TEST(EditorOutput, CopyPutsTheSelectionsPixelsOnTheClipboardAndRecordsTheOutputBeforeTheOwnerHears)
{
    OutputFixture o;
    ASSERT_TRUE(o.f.document->session.document()->isPendingOutput());
    o.view->performTool(QStringLiteral("copy"));
    ASSERT_TRUE(o.locked());
    const std::optional<QUuid> id = o.activeRequest();
    ASSERT_TRUE(id);
    ASSERT_NE(o.toast(*id), nullptr);
    EXPECT_EQ(o.toast(*id)->message, QStringLiteral("正在复制…"));

    ASSERT_TRUE(runUntil([&] { return !o.owner.successes.isEmpty(); }));
    const std::optional<QImage> png = clipboardImage(*o.pasteboard);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->size(), QSize(400, 300));
    // The arrow's red at its start, the picture's colour in a corner the arrow does not reach.
    EXPECT_TRUE(near(png->pixelColor(2 * 20 + 2, 2 * 20 + 2), QColor(255, 59, 48), 40));
    EXPECT_TRUE(near(png->pixelColor(390, 10), HostViewFixture::pictureColor));

    ASSERT_EQ(o.owner.completed.size(), 1u);
    const EditorOutputSuccess& success = o.owner.completed.front();
    EXPECT_EQ(success.requestID, *id);
    EXPECT_FALSE(o.owner.pendingWhenCompleted.front());
    EXPECT_FALSE(success.isPinned);
    EXPECT_EQ(success.message, QStringLiteral("已复制截图"));
    EXPECT_EQ(o.owner.successes, QStringList{QStringLiteral("已复制截图")});
    EXPECT_EQ(o.toast(*id)->phase, Phase::success);
    EXPECT_EQ(o.toast(*id)->message, QStringLiteral("已复制截图"));
    EXPECT_FALSE(o.locked());
    EXPECT_FALSE(o.f.outputs->isBusy());
}

TEST(EditorOutput, ASecondEditorIsRefusedWhileOneOutputs)
{
    HeldSlot slot; // the first editor's composition waits
    OutputFixture first;
    OutputFixture second(first.f.outputs);
    first.view->performTool(QStringLiteral("copy"));
    ASSERT_TRUE(first.f.outputs->isBusy());

    for (const char* key : {"copy", "save"}) {
        SCOPED_TRACE(key);
        second.view->feedbackLabel()->hide();
        second.view->performTool(QString::fromLatin1(key));
        EXPECT_TRUE(second.view->feedbackLabel()->isVisibleTo(second.view.get()));
        EXPECT_EQ(second.view->feedbackLabel()->text(), QStringLiteral("请先完成或取消当前输出。"));
        EXPECT_FALSE(second.locked());
    }
    saveTestImage(renderedView(*first.view), QStringLiteral("editor-output-composing"));
    saveTestImage(renderedView(*second.view), QStringLiteral("editor-output-refused"));
    first.view->cancelOutput();
    EXPECT_FALSE(first.f.outputs->isBusy());
}

TEST(EditorOutput, CancellingDuringCompositionEndsAtOnceAndIgnoresTheLateResult)
{
    auto slot = std::make_unique<HeldSlot>();
    OutputFixture o;
    QWidget window;
    o.view->setParent(&window);
    window.show();
    o.view->performTool(QStringLiteral("copy"));
    ASSERT_TRUE(runUntil([&] { return CompositeRenderer::workers().waitingOutputCount() == 1; }));
    const QUuid id = *o.activeRequest();
    ASSERT_TRUE(o.view->isComposingOutput());

    o.view->cancelOutput();
    EXPECT_FALSE(o.view->isComposingOutput());
    EXPECT_FALSE(o.locked());
    EXPECT_FALSE(o.f.outputs->isBusy());
    EXPECT_EQ(o.toast(id), nullptr);
    EXPECT_TRUE(runUntil([&] { return o.view->hasFocus(); }));

    slot.reset();
    ASSERT_TRUE(runUntil(outputsIdle));
    QCoreApplication::processEvents();
    EXPECT_TRUE(o.pasteboard->writes.isEmpty());
    EXPECT_TRUE(o.owner.completed.empty());
    EXPECT_FALSE(o.locked());
    // A new output afterwards runs normally.
    o.view->performTool(QStringLiteral("copy"));
    EXPECT_TRUE(runUntil([&] { return o.owner.completed.size() == 1; }));
    o.view->setParent(nullptr);
}

TEST(EditorOutput, ASaveCancelledInThePanelKeepsTheChosenNameAndReleasesEverything)
{
    OutputFixture o;
    QPointer<FakeSavePanel> panel;
    o.f.output->setSavePanelFactory([&] {
        panel = new FakeSavePanel;
        return panel.data();
    });
    o.f.document->saveDraft = SaveDraft{QStringLiteral("截图 1"), ImageFormat::png, QDir::tempPath(), std::nullopt};
    o.view->performTool(QStringLiteral("save"));
    const QUuid id = *o.activeRequest();
    EXPECT_EQ(o.toast(id)->message, QStringLiteral("正在准备保存…"));
    ASSERT_TRUE(runUntil([&] { return panel && panel->opened; }));
    EXPECT_EQ(o.toast(id)->phase, Phase::suspended);

    panel->nameField = QStringLiteral("别的名字.png");
    panel->userCancels();
    ASSERT_TRUE(runUntil([&] { return !o.locked(); }));
    EXPECT_EQ(o.f.document->saveDraft.name, QStringLiteral("别的名字.png"));
    EXPECT_EQ(o.toast(id), nullptr);
    EXPECT_FALSE(o.f.outputs->isBusy());
    EXPECT_TRUE(o.owner.completed.empty());
    EXPECT_TRUE(o.f.document->session.document()->isPendingOutput());
}

TEST(EditorOutput, AConfirmedJpegSaveWritesTheSelectionAndSaysSo)
{
    QTemporaryDir folder;
    OutputFixture o;
    QPointer<FakeSavePanel> panel;
    o.f.output->setSavePanelFactory([&] {
        panel = new FakeSavePanel;
        return panel.data();
    });
    o.f.document->saveDraft = SaveDraft{QStringLiteral("截图.jpg"), ImageFormat::jpeg, folder.path(), std::nullopt};
    o.view->performTool(QStringLiteral("save"));
    ASSERT_TRUE(runUntil([&] { return panel && panel->opened; }));
    panel->confirm();
    ASSERT_TRUE(runUntil([&] { return !o.owner.completed.empty(); }));
    EXPECT_EQ(o.owner.completed.front().message, QStringLiteral("已保存截图"));
    QImageReader reader(folder.filePath(QStringLiteral("截图.jpg")));
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.size(), QSize(400, 300));
}

TEST(EditorOutput, AFailureOffersARetryThatRepeatsTheSameOutput)
{
    OutputFixture o;
    o.pasteboard->failingWrites = 1;
    o.view->performTool(QStringLiteral("copy"));
    const QUuid id = *o.activeRequest();
    ASSERT_TRUE(runUntil([&] { return !o.locked(); }));
    const FeedbackCoordinator::Record* failed = o.toast(id);
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->phase, Phase::failure);
    EXPECT_FALSE(failed->message.isEmpty());
    ASSERT_TRUE(failed->retry && failed->canRetry);
    EXPECT_TRUE(failed->canRetry());
    EXPECT_FALSE(o.f.outputs->isBusy());
    EXPECT_TRUE(o.owner.completed.empty());

    failed->retry();
    ASSERT_TRUE(runUntil([&] { return o.owner.completed.size() == 1; }));
    EXPECT_EQ(clipboardImage(*o.pasteboard)->size(), QSize(400, 300));
}

TEST(EditorOutput, AFailureWhoseToastWasDismissedStillReleasesTheLock)
{
    OutputFixture o;
    o.pasteboard->failingWrites = 1;
    o.pasteboard->onWrite = [&](FakePasteboard&) {
        if (o.activeRequest())
            o.f.feedback->remove(*o.activeRequest());
    };
    o.view->performTool(QStringLiteral("copy"));
    ASSERT_TRUE(runUntil([&] { return !o.locked(); }));
    EXPECT_TRUE(o.f.feedback->recordIDs().empty());
    EXPECT_FALSE(o.f.outputs->isBusy());
}

TEST(EditorOutput, AFullToastRegistryRefusesTheOutputAndSaysWhatStays)
{
    OutputFixture o;
    for (int i = 0; i < FeedbackCoordinator::pendingCap; ++i)
        ASSERT_TRUE(o.f.feedback->begin(QUuid::createUuid(), QUuid::createUuid(), Point{0, 0}, QStringLiteral("x"), {}));
    o.view->performTool(QStringLiteral("copy"));
    EXPECT_FALSE(o.locked());
    EXPECT_FALSE(o.f.outputs->isBusy());
    EXPECT_EQ(o.view->feedbackLabel()->text(), QStringLiteral("请先关闭或处理已有错误提示，再重试。当前内容已保留。"));
}

TEST(EditorOutput, NothingIsOutputBeforeTheFirstCommitOrDuringAGestureOrWithoutEditing)
{
    struct Case {
        const char* name;
        std::function<void(OutputFixture&)> arrange;
    };
    const std::vector<Case> cases{
        {"no document", [](OutputFixture& o) {
             o.f.document->session = EditorSession(QUuid::createUuid(), selection, DocumentOrigin::screenCapture);
         }},
        {"gesture", [](OutputFixture& o) { o.view->setGesture(gesture::Select{{0, 0}, selection}); }},
        {"editing off", [](OutputFixture& o) { o.view->setEditingEnabled(false); }},
        {"owner refuses", [](OutputFixture& o) { o.view->canInteract = [] { return false; }; }},
        {"suspended", [](OutputFixture& o) { o.view->setInputSuspended(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OutputFixture o;
        c.arrange(o);
        o.view->beginOutput(false);
        EXPECT_FALSE(o.f.outputs->isBusy());
        EXPECT_FALSE(o.locked());
    }
}

TEST(EditorOutput, DestroyingAViewMidOutputGivesBackTheGateAndTheLock)
{
    HeldSlot slot;
    OutputFixture o;
    o.view->performTool(QStringLiteral("copy"));
    ASSERT_TRUE(o.f.outputs->isBusy());
    o.view.reset();
    EXPECT_FALSE(o.f.outputs->isBusy());
    EXPECT_FALSE(o.locked());
}

TEST(EditorCommands, ToolButtonsChooseTheToolAndToggleTheStrip)
{
    HostViewFixture f;
    f.commitSelection(selection);
    std::unique_ptr<EditorHostView> view(f.make());
    struct Step {
        const char* key;
        CaptureTool tool;
        bool open;
    };
    const std::vector<Step> steps{
        {"arrow", CaptureTool::arrow, true},   {"arrow", CaptureTool::arrow, false},
        {"arrow", CaptureTool::arrow, true},   {"pen", CaptureTool::pen, true},
        {"select", CaptureTool::select, false}, {"select", CaptureTool::select, true},
        {"number", CaptureTool::number, true}, {"nonsense", CaptureTool::number, true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key);
        f.document->selectedMarkID = QUuid::createUuid();
        view->performTool(QString::fromLatin1(step.key));
        EXPECT_EQ(f.document->tool, step.tool);
        EXPECT_EQ(view->propertiesOpen(), step.open);
        if (QString::fromLatin1(step.key) != QLatin1String("nonsense")) {
            EXPECT_FALSE(f.document->selectedMarkID);
        }
    }
}

TEST(EditorCommands, PinOnlyOnACaptureDoneOnlyInAPin)
{
    for (bool pinned : {false, true}) {
        SCOPED_TRACE(pinned ? "pin" : "capture");
        HostViewFixture f;
        f.commitSelection(selection);
        std::unique_ptr<EditorHostView> view(f.make(pinned));
        int pins = 0, exits = 0;
        view->onPin = [&](EditorDocument&) { return ++pins, true; };
        view->onExit = [&] { ++exits; };
        view->performTool(QStringLiteral("pin"));
        view->performTool(QStringLiteral("done"));
        EXPECT_EQ(pins, pinned ? 0 : 1);
        EXPECT_EQ(exits, pinned ? 1 : 0);
    }
}

TEST(EditorCommands, UndoAndRedoGoThroughTheMemoryGate)
{
    HostViewFixture f;
    f.commitSelection(selection);
    const Annotation mark = penMark(120, 120);
    f.commitMarks({mark});
    f.document->selectedMarkID = mark.id;
    std::unique_ptr<EditorHostView> view(f.make());
    int changes = 0;
    view->onContentChanged = [&] { ++changes; };

    bool allow = false;
    f.document->canCommitSession = [&](const EditorSession&) { return allow; };
    view->performTool(QStringLiteral("undo"));
    EXPECT_EQ(f.document->session.annotations().size(), 1u);
    EXPECT_EQ(view->feedbackLabel()->text(), QStringLiteral("内存预算不足，已有内容及撤销记录已保留。"));
    EXPECT_EQ(changes, 0);

    allow = true;
    view->performTool(QStringLiteral("undo"));
    EXPECT_TRUE(f.document->session.annotations().empty());
    EXPECT_FALSE(f.document->selectedMarkID);
    view->performTool(QStringLiteral("redo"));
    EXPECT_EQ(f.document->session.annotations().size(), 1u);
    EXPECT_EQ(changes, 2);
}

TEST(EditorCommands, CommandsWaitForAnInvalidStripField)
{
    HostViewFixture f;
    f.commitSelection(selection);
    std::unique_ptr<EditorHostView> view(f.make());
    view->performTool(QStringLiteral("pen"));
    StripField* width = view->properties()->field(ToolProperties::FieldRole::width);
    ASSERT_NE(width, nullptr);
    width->setText(QStringLiteral("99"));
    view->performTool(QStringLiteral("arrow"));
    EXPECT_EQ(f.document->tool, CaptureTool::pen);
    view->beginOutput(false);
    EXPECT_FALSE(f.outputs->isBusy());
}

TEST(EditorLoupeCopy, TheColourUnderThePointerGoesToTheClipboardAndEndsTheCapture)
{
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(0x12, 0x34, 0x56));
    auto pasteboard = std::make_shared<FakePasteboard>();
    HostViewFixture f(image, Size{200, 100});
    f.output = std::make_shared<OutputService>(pasteboard);
    f.pointer = {30, 40};
    std::unique_ptr<EditorHostView> view(f.make());
    OwnerLog owner;
    owner.watch(*view);
    view->updateLoupe({30, 40}, false);
    ASSERT_EQ(view->sampledHex(), QStringLiteral("#123456"));

    view->copySampledColor();
    EXPECT_TRUE(f.outputs->isBusy());
    ASSERT_TRUE(runUntil([&] { return owner.exits == 1; }));
    EXPECT_FALSE(f.outputs->isBusy());
    ASSERT_FALSE(pasteboard->writes.isEmpty());
    EXPECT_EQ(pasteboard->writes.last().first().data(PasteboardType::plainText()), QByteArray("#123456"));
    EXPECT_FALSE(view->loupe()->isVisibleTo(view.get()));
    const auto ids = f.feedback->recordIDs();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(f.feedback->record(ids.front())->message, QStringLiteral("已复制颜色 #123456"));
}

TEST(EditorLoupeCopy, NothingIsCopiedOnceASelectionIsCommittedOrWhileAnotherOutputRuns)
{
    auto pasteboard = std::make_shared<FakePasteboard>();
    HostViewFixture f;
    f.output = std::make_shared<OutputService>(pasteboard);
    std::unique_ptr<EditorHostView> view(f.make());
    view->updateLoupe({30, 40}, false);
    ASSERT_TRUE(view->sampledHex());

    const auto other = f.outputs->acquire(QUuid::createUuid());
    view->copySampledColor();
    f.outputs->release(*other);
    f.commitSelection(selection);
    view->copySampledColor();
    QCoreApplication::processEvents();
    EXPECT_TRUE(pasteboard->writes.isEmpty());
    EXPECT_FALSE(f.outputs->isBusy());
}

TEST(EditorLoupeCopy, AClipboardFailureKeepsTheCaptureAndSaysWhy)
{
    auto pasteboard = std::make_shared<FakePasteboard>();
    pasteboard->failingWrites = 1;
    HostViewFixture f;
    f.output = std::make_shared<OutputService>(pasteboard);
    std::unique_ptr<EditorHostView> view(f.make());
    OwnerLog owner;
    owner.watch(*view);
    view->updateLoupe({30, 40}, false);
    view->copySampledColor();
    ASSERT_TRUE(runUntil([&] { return !f.outputs->isBusy(); }));
    EXPECT_EQ(owner.exits, 0);
    EXPECT_TRUE(view->feedbackLabel()->isVisibleTo(view.get()));
    EXPECT_FALSE(view->feedbackLabel()->text().isEmpty());
}
