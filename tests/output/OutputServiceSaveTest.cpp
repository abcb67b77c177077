#include "app/output/OutputService.h"
#include "app/output/PreparedFile.h"
#include "app/base/ImageResourceStore.h"
#include "core/SharedWorkQueues.h"
#include "support/FakeFolderAccess.h"
#include "support/FakePasteboard.h"
#include "support/FakeSavePanel.h"
#include "support/HeldJob.h"
#include "support/QueueCall.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <semaphore>

#include <sys/stat.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

QImage sample()
{
    QImage image(24, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(qRgba(0, 0, 0, 0));
    for (int x = 0; x < 12; ++x)
        image.setPixel(x, 3, qRgba(200, 40, 40, 255));
    return image;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot | QDir::Dirs, QDir::Name);
}

mode_t modeOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 07777;
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct SaveOutcome {
    QList<OutputResult> results;
    QList<SaveDraft> drafts;
    int writing = 0;
};

class OutputServiceSaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        service.setResources(storeHandle);
        service.setFolderAccess(access);
        service.setSavePanelFactory([this] {
            auto* made = new FakeSavePanel;
            made->finishesLater = panelsFinishLater;
            panel = made;
            return made;
        });
        draft.name = QStringLiteral("截图 2024-05-01 09.30.15");
        draft.format = ImageFormat::png;
        draft.directory = folder.path();
    }
    void TearDown() override
    {
        EXPECT_TRUE(runUntil([] {
            return SharedWorkQueues::outputEncoding().runningCount() == 0 &&
                   SharedWorkQueues::outputFiles().runningCount() == 0;
        }));
    }

    void save(QWidget* parent = nullptr)
    {
        service.save(sample(), draft, std::nullopt, parent, [this] { ++outcome.writing; },
                     [this](const OutputResult& result, const SaveDraft& returned) {
                         outcome.results << result;
                         outcome.drafts << returned;
                     });
    }
    bool finished() { return runUntil([&] { return !outcome.results.isEmpty(); }); }

    QTemporaryDir folder;
    QTemporaryDir otherFolder;
    std::shared_ptr<ImageResourceStore> storeHandle = std::make_shared<ImageResourceStore>(qint64(1) << 30);
    ImageResourceStore& store = *storeHandle;
    std::shared_ptr<FakeFolderAccess> access = std::make_shared<FakeFolderAccess>();
    OutputService service{std::make_shared<FakePasteboard>()};
    QPointer<FakeSavePanel> panel;
    bool panelsFinishLater = false;
    SaveDraft draft;
    SaveOutcome outcome;
};

} // namespace

TEST_F(OutputServiceSaveTest, ConfirmedSaveWritesTheFileAndReturnsThePanelsDraft)
{
    save();
    ASSERT_TRUE(panel && panel->opened);
    EXPECT_EQ(panel->configuration.title, QStringLiteral("保存截图"));
    EXPECT_EQ(panel->configuration.prompt, QStringLiteral("保存"));
    EXPECT_EQ(panel->configuration.nameFieldLabel, QStringLiteral("名称："));
    EXPECT_EQ(panel->configuration.directory, folder.path());
    EXPECT_EQ(panel->configuration.name, draft.name);
    EXPECT_FALSE(panel->configuration.aboveOverlays);
    EXPECT_EQ(store.work().size(), 1) << "workspace reserved while the panel is up";

    panel->nameField = QStringLiteral("shot.png");
    panel->confirm();
    EXPECT_EQ(outcome.writing, 1);
    ASSERT_TRUE(finished());
    EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::success()});
    EXPECT_EQ(outcome.drafts[0].name, QStringLiteral("shot.png"));
    EXPECT_EQ(outcome.drafts[0].directoryBookmark, QByteArray("bookmark:") + folder.path().toUtf8());
    const QImage written(folder.filePath(QStringLiteral("shot.png")));
    EXPECT_EQ(written.convertToFormat(QImage::Format_ARGB32_Premultiplied).pixel(5, 3), sample().pixel(5, 3));
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("shot.png")}) << "no staging file left";
    EXPECT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
    EXPECT_TRUE(runUntil([&] { return access->open().isEmpty(); })) << access->log().join(", ").toStdString();
    EXPECT_FALSE(service.isBusy());
}

TEST_F(OutputServiceSaveTest, OverwriteKeepsThePermissionsOfTheReplacedFile)
{
    const QString existing = folder.filePath(QStringLiteral("shot.jpg"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    ASSERT_EQ(::chmod(QFile::encodeName(existing).constData(), 0640), 0);
    draft.format = ImageFormat::jpeg;
    save();
    panel->nameField = QStringLiteral("shot.jpg");
    panel->confirm();
    ASSERT_TRUE(finished());
    EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::success()});
    EXPECT_TRUE(contents(existing).startsWith(QByteArray("\xFF\xD8", 2))) << "JPEG bytes";
    EXPECT_EQ(modeOf(existing), mode_t(0640));
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("shot.jpg")});
}

TEST_F(OutputServiceSaveTest, WrittenNameAlwaysMatchesTheBytes)
{
    // The pop-up says JPEG, the name says .png: the file becomes shot.png.jpg.
    save();
    panel->chooseFormat(QStringLiteral("JPEG"));
    panel->nameField = QStringLiteral("shot.png");
    panel->confirm();
    ASSERT_TRUE(finished());
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("shot.png.jpg")});
    EXPECT_TRUE(contents(folder.filePath(QStringLiteral("shot.png.jpg"))).startsWith(QByteArray("\xFF\xD8", 2)));
    EXPECT_EQ(outcome.drafts[0].format, ImageFormat::jpeg);
}

TEST_F(OutputServiceSaveTest, CancelledPanelReturnsTheEditedDraft)
{
    for (const bool bookmarksWork : {true, false}) {
        SCOPED_TRACE(bookmarksWork ? "bookmark made" : "bookmark refused");
        access->bookmarksWork = bookmarksWork;
        draft.directoryBookmark = QByteArray("bookmark:") + folder.path().toUtf8();
        outcome = {};
        save();
        panel->folder = otherFolder.path();
        panel->nameField = QStringLiteral("新名字");
        panel->chooseFormat(QStringLiteral("JPEG"));
        panel->userCancels();
        ASSERT_TRUE(finished());
        EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::cancelled()});
        const SaveDraft& returned = outcome.drafts[0];
        EXPECT_EQ(returned.name, QStringLiteral("新名字.jpg")) << "renamed by the format change";
        EXPECT_EQ(returned.directory, otherFolder.path());
        EXPECT_EQ(returned.format, ImageFormat::jpeg);
        if (bookmarksWork) {
            EXPECT_EQ(returned.directoryBookmark, QByteArray("bookmark:") + otherFolder.path().toUtf8());
        } else {
            EXPECT_FALSE(returned.directoryBookmark) << "the old folder's bookmark must not stay";
        }
        EXPECT_TRUE(runUntil([&] { return store.work().isEmpty() && !panel; })) << "panel released";
        EXPECT_TRUE(entries(otherFolder.path()).isEmpty());
    }
}

TEST_F(OutputServiceSaveTest, EngineCancelClosesThePanelAndKeepsItsState)
{
    for (const bool later : {false, true}) {
        SCOPED_TRACE(later ? "panel reports later" : "panel reports at once");
        panelsFinishLater = later;
        outcome = {};
        save();
        panel->nameField = QStringLiteral("半路改名");
        service.cancel();
        EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::cancelled()});
        EXPECT_EQ(outcome.drafts[0].name, QStringLiteral("半路改名"));
        EXPECT_FALSE(service.isBusy());
        EXPECT_TRUE(runUntil([&] { return !panel; }));
        spin(20ms);
        EXPECT_EQ(outcome.results.size(), 1);
        EXPECT_TRUE(store.work().isEmpty());
    }
}

TEST_F(OutputServiceSaveTest, FormatPopUpRewritesTheExtensionOnly)
{
    save();
    panel->chooseFormat(QStringLiteral("JPEG"));
    EXPECT_EQ(panel->nameField, QStringLiteral("截图 2024-05-01 09.30.15.jpg"));
    EXPECT_EQ(panel->allowed, ImageFormat::jpeg);
    panel->chooseFormat(QStringLiteral("PNG"));
    EXPECT_EQ(panel->nameField, QStringLiteral("截图 2024-05-01 09.30.15.png"));
    EXPECT_EQ(panel->allowed, ImageFormat::png);
    panel->chooseFormat(QStringLiteral("TIFF"));
    EXPECT_EQ(panel->nameField, QStringLiteral("截图 2024-05-01 09.30.15.png")) << "not a format: nothing";
    service.cancel();
}

TEST_F(OutputServiceSaveTest, BookmarkOpensItsFolderUnderAccessAndAStaleOneFallsBack)
{
    draft.directoryBookmark = QByteArray("bookmark:") + otherFolder.path().toUtf8();
    save();
    EXPECT_EQ(panel->configuration.directory, otherFolder.path());
    EXPECT_EQ(access->open(), QStringList{otherFolder.path()});
    panel->confirm();
    ASSERT_TRUE(finished());
    EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::success()});
    EXPECT_TRUE(runUntil([&] { return access->open().isEmpty(); }));

    access->bookmarksResolve = false;
    outcome = {};
    save();
    EXPECT_EQ(panel->configuration.directory, folder.path());
    panel->confirm();
    ASSERT_TRUE(finished());
    EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::success()});
    EXPECT_TRUE(QFile::exists(folder.filePath(draft.name + QStringLiteral(".png"))));
}

TEST_F(OutputServiceSaveTest, SecondSaveWhilePanelIsUpIsIgnored)
{
    save();
    QPointer<FakeSavePanel> first = panel;
    first->nameField = QStringLiteral("第一个");
    SaveDraft other = draft;
    other.name = QStringLiteral("第二个");
    bool secondCalled = false;
    service.save(sample(), other, std::nullopt, nullptr, {}, [&](const OutputResult&, const SaveDraft&) { secondCalled = true; });
    EXPECT_EQ(panel, first) << "no second panel";
    first->userCancels();
    ASSERT_TRUE(finished());
    EXPECT_FALSE(secondCalled);
    EXPECT_EQ(outcome.drafts[0].name, QStringLiteral("第一个"));
}

TEST_F(OutputServiceSaveTest, CancelWhileStagingLeavesTheDestinationUntouched)
{
    const QString destination = folder.filePath(QStringLiteral("shot.png"));
    {
        QFile file(destination);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("original");
    }
    // Another save holds the one file slot, so this one waits to stage.
    HeldJob other;
    QueueCall occupying([&](std::stop_token stop) { return SharedWorkQueues::outputFiles().run(stop, other.operation(1)); });
    ASSERT_TRUE(runUntil([&] { return other.started(); }));

    save();
    panel->nameField = QStringLiteral("shot.png");
    panel->confirm();
    ASSERT_TRUE(runUntil([] { return SharedWorkQueues::outputFiles().waitingCount() == 1; }));
    service.cancel();
    EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::cancelled()});

    other.release();
    ASSERT_TRUE(runUntil([&] { return occupying.finished(); }));
    EXPECT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
    spin(30ms);
    EXPECT_EQ(outcome.results.size(), 1);
    EXPECT_EQ(contents(destination), QByteArray("original"));
    EXPECT_EQ(entries(folder.path()), QStringList{QStringLiteral("shot.png")});
}

TEST_F(OutputServiceSaveTest, FailuresSayWhatHappenedAndKeepTheDraft)
{
    save();
    panel->folder = folder.filePath(QStringLiteral("gone"));
    panel->nameField = QStringLiteral("shot.png");
    panel->confirm();
    ASSERT_TRUE(finished());
    EXPECT_EQ(outcome.results, QList<OutputResult>{OutputResult::failure(
                                   QStringLiteral("保存失败：目标文件夹不存在。\n截图与保存设置已保留，可重试。"))});
    EXPECT_EQ(outcome.drafts[0].name, QStringLiteral("shot.png"));

    OutputService failing(std::make_shared<FakePasteboard>(),
                          [](const QImage&, ImageFormat) -> QByteArray { throw std::runtime_error("编码器出错。"); });
    failing.setSavePanelFactory([this] { return panel = new FakeSavePanel; });
    QList<OutputResult> results;
    failing.save(sample(), draft, std::nullopt, nullptr, {},
                 [&](const OutputResult& result, const SaveDraft&) { results << result; });
    panel->confirm();
    ASSERT_TRUE(runUntil([&] { return !results.isEmpty(); }));
    EXPECT_EQ(results[0].message, QStringLiteral("保存失败：编码器出错。\n截图与保存设置已保留，可重试。"));
}

TEST_F(OutputServiceSaveTest, PanelStacksAboveOverrideRedirectParents)
{
    QWidget overlay(nullptr, Qt::Window | Qt::BypassWindowManagerHint);
    save(&overlay);
    EXPECT_TRUE(panel->configuration.aboveOverlays);
    service.cancel();
    QWidget ordinary;
    outcome = {};
    save(&ordinary);
    EXPECT_FALSE(panel->configuration.aboveOverlays);
    service.cancel();
}

TEST_F(OutputServiceSaveTest, ASaveAfterACancelledOneSucceedsWhileTheFirstEncodeIsStillRunning)
{
    // The cancelled save's encode ends late: after the second save has finished, or while the
    // second is still encoding. Its bytes differ from the second's, so a late write of the
    // first would show in the file.
    for (const bool firstEndsFirst : {false, true}) {
        SCOPED_TRACE(firstEndsFirst ? "first ends while the second encodes" : "first ends after the second");
        QTemporaryDir into;
        draft.directory = into.path();
        std::vector<std::shared_ptr<std::binary_semaphore>> gates;
        for (int k = 0; k < 2; ++k)
            gates.push_back(std::make_shared<std::binary_semaphore>(0));
        auto calls = std::make_shared<std::atomic<int>>(0);
        const bool holdSecond = firstEndsFirst;
        const OutputService::Encoder encoder = [gates, calls, holdSecond](const QImage& image, ImageFormat format) {
            const int call = calls->fetch_add(1);
            if (call == 0 || holdSecond)
                gates[std::min(call, 1)]->acquire();
            if (call == 0)
                return QByteArray("bytes of the cancelled save");
            return OutputService::encode(image, format);
        };
        OutputService saver(std::make_shared<FakePasteboard>(), encoder);
        saver.setResources(storeHandle);
        saver.setFolderAccess(access);
        saver.setSavePanelFactory([this] { return panel = new FakeSavePanel; });
        SaveOutcome first, second;
        const auto saveInto = [&](SaveOutcome& outcome) {
            saver.save(sample(), draft, std::nullopt, nullptr, [&outcome] { ++outcome.writing; },
                       [&outcome](const OutputResult& result, const SaveDraft& returned) {
                           outcome.results << result;
                           outcome.drafts << returned;
                       });
            panel->nameField = QStringLiteral("shot.png");
            panel->confirm();
        };

        saveInto(first);
        ASSERT_TRUE(runUntil([&] { return calls->load() == 1; }));
        saver.cancel();
        saveInto(second);
        if (firstEndsFirst) {
            ASSERT_TRUE(runUntil([&] { return calls->load() == 2; }));
            gates[0]->release();
            ASSERT_TRUE(runUntil([] { return SharedWorkQueues::outputEncoding().runningCount() == 1; }));
            spin(30ms); // the first's late result reaches the main thread
            gates[1]->release();
            ASSERT_TRUE(runUntil([&] { return !second.results.isEmpty(); }));
        } else {
            ASSERT_TRUE(runUntil([&] { return !second.results.isEmpty(); }));
            gates[0]->release();
        }
        const QString destination = into.filePath(QStringLiteral("shot.png"));
        const QByteArray written = contents(destination);
        ASSERT_TRUE(runUntil([] {
            return SharedWorkQueues::outputEncoding().runningCount() == 0 &&
                   SharedWorkQueues::outputFiles().runningCount() == 0;
        }));
        spin(30ms);

        EXPECT_EQ(first.results, QList<OutputResult>{OutputResult::cancelled()});
        EXPECT_EQ(second.results, QList<OutputResult>{OutputResult::success()});
        EXPECT_EQ(first.writing, 1);
        EXPECT_EQ(second.writing, 1);
        EXPECT_TRUE(written.startsWith("\x89PNG")) << "the second save's own bytes";
        EXPECT_EQ(contents(destination), written) << "the file is written once, by the second save";
        EXPECT_EQ(entries(into.path()), QStringList{QStringLiteral("shot.png")}) << "no staging file left";
        EXPECT_FALSE(saver.isBusy());
        EXPECT_TRUE(runUntil([&] { return store.work().isEmpty(); }));
        EXPECT_TRUE(runUntil([&] { return access->open().isEmpty(); })) << access->log().join(", ").toStdString();
    }
}
