#include "app/import/ImageImportService.h"
#include "import/ChildProcess.h"
#include "import/ImportFixtures.h"
#include "import/ImportTestSupport.h"
#include "support/FakeFolderAccess.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <thread>

using namespace vorlith;
using namespace vorlith::test;
using Service = ImageImportService;
using Status = Service::BatchStatus;
using Stop = Service::StopReason;

namespace {

class ImportBatch : public ::testing::Test {
protected:
    QUrl write(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return url(name);
    }
    QUrl url(const QString& name) const { return QUrl::fromLocalFile(m_dir.filePath(name)); }
    static QByteArray png(QRgb colour = qRgb(30, 60, 90), int width = 12, int height = 8)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(colour);
        return pngBytes(image);
    }
    Service::Result run(const QList<QUrl>& urls)
    {
        auto batch = m_service.openBatch(urls, m_accepted.function());
        return finishBatch(std::move(batch));
    }

    QTemporaryDir m_dir;
    std::shared_ptr<ImageResourceStore> m_store = std::make_shared<ImageResourceStore>(qint64(512) << 20);
    std::shared_ptr<FakeFolderAccess> m_access = std::make_shared<FakeFolderAccess>();
    Service m_service{m_store, m_access};
    AcceptLog m_accepted;
};

} // namespace

TEST_F(ImportBatch, EachFileIsTakenSkippedOrReportedAndTheBatchGoesOn)
{
    QImage photo(30, 20, QImage::Format_RGB32);
    photo.fill(Qt::magenta);
    const QList<QUrl> urls{
        write(QStringLiteral("notes.txt"), "text"),
        write(QStringLiteral("photo.png"), jpegBytes(photo)), // a JPEG under a PNG name
        write(QStringLiteral("moving.gif"), gifBytes(3)),
        write(QStringLiteral("still.png"), gifBytes(1)),      // a GIF under a PNG name
        write(QStringLiteral("blob"), "no name to judge by"),
        write(QStringLiteral("broken.png"), "not a PNG at all"),
        url(QStringLiteral("gone.png")),
        url(QStringLiteral("gone-too.png")), // a second missing file is no duplicate of the first
        url(QStringLiteral("folder")),
        write(QStringLiteral("tiny.png"), png()),
    };
    QDir(m_dir.path()).mkdir(QStringLiteral("folder"));

    const Service::Result result = run(urls);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_EQ(result->skipped, (QStringList{QStringLiteral("notes.txt"), QStringLiteral("folder")}));
    const QString unreadable = QStringLiteral("文件不可用、读取期间发生变化或没有读取权限。");
    const QList<Service::Failure> failures{
        {QStringLiteral("moving.gif"), QStringLiteral("暂不支持动态图像或多页图片。")},
        {QStringLiteral("still.png"), QStringLiteral("仅支持PNG和JPEG图片文件。")},
        {QStringLiteral("blob"), QStringLiteral("无法识别或访问此文件。")},
        {QStringLiteral("broken.png"), QStringLiteral("图片损坏或无法读取。")},
        {QStringLiteral("gone.png"), unreadable},
        {QStringLiteral("gone-too.png"), unreadable},
    };
    EXPECT_EQ(result->failures, failures);
    EXPECT_TRUE(result->unprocessed.isEmpty());

    ASSERT_EQ(m_accepted.images.size(), 2);
    EXPECT_EQ(result->acceptedIDs, (QList<QUuid>{m_accepted.images[0].source.id, m_accepted.images[1].source.id}));
    const Service::ImportedImage& first = m_accepted.images[0];
    EXPECT_EQ(first.origin, DocumentOrigin::localFile);
    EXPECT_EQ(first.source.image.size(), QSize(30, 20));
    EXPECT_EQ(first.source.geometry, (CaptureGeometry{{30, 20}, {30, 20}}));
    EXPECT_EQ(m_store->pinCount(), 2);
    EXPECT_FALSE(m_service.isBusy());
    EXPECT_TRUE(m_access->open().isEmpty()) << "file access left started";
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ImportBatch, OneFileReachedByManyPathsIsImportedOnce)
{
    const QUrl original = write(QStringLiteral("a.png"), png());
    QDir(m_dir.path()).mkdir(QStringLiteral("sub"));
    ASSERT_TRUE(QFile::link(m_dir.filePath(QStringLiteral("a.png")), m_dir.filePath(QStringLiteral("soft.png"))));
    ASSERT_EQ(::link(QFile::encodeName(m_dir.filePath(QStringLiteral("a.png"))).constData(),
                     QFile::encodeName(m_dir.filePath(QStringLiteral("hard.png"))).constData()),
              0);
    const Service::Result result =
        run({original, original, url(QStringLiteral("soft.png")), url(QStringLiteral("hard.png")),
             QUrl::fromLocalFile(m_dir.path() + QStringLiteral("/sub/../a.png"))});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_EQ(result->acceptedIDs.size(), 1);
    EXPECT_EQ(result->skipped, (QStringList{QStringLiteral("a.png"), QStringLiteral("soft.png"),
                                            QStringLiteral("hard.png"), QStringLiteral("a.png")}));
    EXPECT_TRUE(result->failures.isEmpty());
}

TEST_F(ImportBatch, ACapacityRefusalStopsTheBatchAndKeepsNothingHalfMade)
{
    m_store->setPinCount(8); // room for two more
    QList<QUrl> urls;
    for (int i = 1; i <= 5; ++i)
        urls << write(QStringLiteral("%1.png").arg(i), png(qRgb(i * 40, 0, 0)));
    const Service::Result result = run(urls);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::capacity));
    EXPECT_EQ(result->acceptedIDs.size(), 2);
    EXPECT_EQ(result->failures,
              (QList<Service::Failure>{{QStringLiteral("3.png"), QStringLiteral("当前已有10张贴图，请先关闭部分贴图。")}}));
    EXPECT_EQ(result->unprocessed, (QStringList{QStringLiteral("4.png"), QStringLiteral("5.png")}));
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ImportBatch, AnImageAboveTheLargestSizeFailsAloneAndTheBatchGoesOn)
{
    const Service::Result result =
        run({write(QStringLiteral("huge.png"), pngAnnouncing(10'000, 8'000)), write(QStringLiteral("ok.png"), png())});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_EQ(result->failures, (QList<Service::Failure>{
                                    {QStringLiteral("huge.png"), QStringLiteral("图片尺寸过大，请选择不超过6400万像素的图片。")}}));
    EXPECT_EQ(result->acceptedIDs.size(), 1);
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ImportBatch, ARefusalOfTheHostStopsTheBatch)
{
    m_accepted.refuseFrom = 0;
    const Service::Result result =
        run({write(QStringLiteral("a.png"), png()), write(QStringLiteral("b.png"), png()), write(QStringLiteral("c.png"), png())});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::hostRefused));
    EXPECT_EQ(result->failures, (QList<Service::Failure>{
                                    {QStringLiteral("a.png"), QStringLiteral("无法创建置顶图片，原有图片仍然保留。")}}));
    EXPECT_EQ(result->unprocessed, (QStringList{QStringLiteral("b.png"), QStringLiteral("c.png")}));
    EXPECT_EQ(m_store->pinCount(), 0);
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ImportBatch, WithoutMemoryForItsBookkeepingTheBatchTouchesNoFile)
{
    auto tiny = std::make_shared<ImageResourceStore>(4'000);
    Service service(tiny);
    auto batch = service.openBatch({write(QStringLiteral("a.png"), png()), url(QStringLiteral("b.png"))},
                                   m_accepted.function());
    const Service::Result result = finishBatch(std::move(batch));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::capacity));
    EXPECT_EQ(result->undisclosedUnprocessedCount, 2);
    EXPECT_TRUE(result->unprocessed.isEmpty());
    EXPECT_EQ(result->failures, (QList<Service::Failure>{
                                    {QStringLiteral("置顶图片"), QStringLiteral("可用内存不足，尚未读取所选文件。")}}));
    EXPECT_FALSE(result->metadata);
    EXPECT_TRUE(tiny->work().isEmpty());
}

TEST_F(ImportBatch, TheBookkeepingIsReleasedOnceByHandOrWhenTheResultGoes)
{
    Service::Result result = run({write(QStringLiteral("a.png"), png())});
    ASSERT_TRUE(result && result->metadata);
    EXPECT_EQ(m_store->work().size(), 1);
    result->releaseMetadata();
    result->releaseMetadata();
    EXPECT_TRUE(m_store->work().isEmpty());

    Service::Result dropped = run({url(QStringLiteral("a.png"))});
    ASSERT_TRUE(dropped && dropped->metadata);
    EXPECT_EQ(m_store->work().size(), 1);
    dropped.reset();
    EXPECT_TRUE(m_store->work().isEmpty());

    // The last reference may go on another thread: the budget is still settled on this one.
    Service::Result elsewhere = run({url(QStringLiteral("a.png"))});
    ASSERT_TRUE(elsewhere && elsewhere->metadata);
    std::thread([result = std::move(elsewhere)]() mutable { result.reset(); }).join();
    EXPECT_EQ(m_store->work().size(), 1) << "settled off the main thread";
    EXPECT_TRUE(runUntil([&] { return m_store->work().isEmpty(); }));
}

TEST_F(ImportBatch, ASecondBatchWhileOneRunsIsBusyAndLeavesTheFirstAlone)
{
    auto first = m_service.openBatch({write(QStringLiteral("a.png"), png())}, m_accepted.function());
    ASSERT_TRUE(m_service.isBusy());
    auto second = m_service.openBatch({url(QStringLiteral("a.png"))}, m_accepted.function());
    const Service::Result busy = finishBatch(std::move(second));
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->status, Status::busy());
    EXPECT_FALSE(busy->metadata);
    EXPECT_TRUE(busy->failures.isEmpty() && busy->acceptedIDs.isEmpty());

    const Service::Result result = finishBatch(std::move(first));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_EQ(result->acceptedIDs.size(), 1);
    EXPECT_FALSE(m_service.isBusy());
}

TEST_F(ImportBatch, CancellingAtAnyPointReleasesEveryReservation)
{
    const QList<QUrl> urls{write(QStringLiteral("a.png"), png()), write(QStringLiteral("b.png"), png(qRgb(1, 2, 3))),
                           write(QStringLiteral("c.png"), png(qRgb(4, 5, 6)))};
    QSet<int> acceptedBeforeCancel;
    // Cancel after 0, 1, 2, ... turns of the event loop until a batch outruns the cancel:
    // every read, probe and decode result arrives on a turn of its own, so the sweep meets
    // the batch at each of its awaits.
    for (int turns = 0;; ++turns) {
        ASSERT_LT(turns, 200) << "the batch never finished";
        auto store = std::make_shared<ImageResourceStore>(qint64(512) << 20);
        Service service(store);
        AcceptLog accepted;
        std::stop_source stop;
        auto batch = service.openBatch(urls, accepted.function(), stop.get_token());
        for (int turn = 0; turn < turns && !batch.isReady(); ++turn) {
            QTimer::singleShot(1000, [] {}); // never wait longer than this for a turn
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        stop.request_stop();
        const Service::Result result = finishBatch(std::move(batch));
        ASSERT_TRUE(result);
        SCOPED_TRACE(turns);
        EXPECT_FALSE(service.isBusy());
        expectNothingHalfMade(*store, *result);
        EXPECT_EQ(store->pinCount(), result->acceptedIDs.size());
        if (result->status == Status::completed()) {
            EXPECT_EQ(result->acceptedIDs.size(), 3);
            break;
        }
        ASSERT_EQ(result->status, Status::cancelled());
        acceptedBeforeCancel.insert(int(result->acceptedIDs.size()));
        // The files not reached are listed, the one being worked on included.
        EXPECT_EQ(result->unprocessed.size() + result->acceptedIDs.size(), 3);
    }
    EXPECT_TRUE(acceptedBeforeCancel.contains(0) && acceptedBeforeCancel.contains(1) && acceptedBeforeCancel.contains(2))
        << "the sweep did not reach every file";
}

TEST_F(ImportBatch, DamagedAndForeignFilesAreToldApartAndNothingCutShortIsPinned)
{
    QImage photo(64, 48, QImage::Format_RGB32);
    photo.fill(qRgb(90, 120, 30));
    const QString corrupt = QStringLiteral("图片损坏或无法读取。");
    const QString unsupported = QStringLiteral("仅支持PNG和JPEG图片文件。");
    const QList<QUrl> urls{
        write(QStringLiteral("cut.png"), pngBytes(photo).chopped(20)),
        write(QStringLiteral("cut.jpg"), jpegBytes(photo).chopped(100)),
        write(QStringLiteral("photo.heic"), isoMediaImage("heic")),
        write(QStringLiteral("photo.avif"), isoMediaImage("avif")),
        write(QStringLiteral("whole.jpg"), jpegBytes(photo)),
    };
    const Service::Result result = run(urls);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_EQ(result->failures, (QList<Service::Failure>{{QStringLiteral("cut.png"), corrupt},
                                                         {QStringLiteral("cut.jpg"), corrupt},
                                                         {QStringLiteral("photo.heic"), unsupported},
                                                         {QStringLiteral("photo.avif"), unsupported}}));
    ASSERT_EQ(m_accepted.images.size(), 1);
    EXPECT_EQ(m_accepted.images[0].source.image.size(), QSize(64, 48));
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ImportBatch, APngBombIsRefusedAtOnceWithoutTakingMemory)
{
    QImage plain(16, 12, QImage::Format_RGB32);
    plain.fill(qRgb(200, 40, 40));
    // The same import of a sound file of the same size is the yardstick for time and memory.
    const ImportChildRun baseline = runImportChild({QStringLiteral("file"), write(QStringLiteral("plain.png"), pngBytes(plain)).toLocalFile()});
    ASSERT_TRUE(baseline.finished);
    EXPECT_EQ(baseline.reason, QStringLiteral("ok"));
    for (const bool afterImageData : {false, true}) {
        SCOPED_TRACE(afterImageData ? "after the image data" : "before the image data");
        const QUrl bomb = write(QStringLiteral("bomb.png"), pngBomb(afterImageData));
        const ImportChildRun run = runImportChild({QStringLiteral("file"), bomb.toLocalFile()});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.reason, QStringLiteral("图片损坏或无法读取。"));
        EXPECT_LT(run.seconds, 0.1);
        EXPECT_LT(run.peakKilobytes - baseline.peakKilobytes, 10 * 1024)
            << "peak " << run.peakKilobytes << " KiB against " << baseline.peakKilobytes << " KiB";
    }
}
