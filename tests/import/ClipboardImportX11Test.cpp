#include "app/import/ImageImportService.h"
#include "import/ChildProcess.h"
#include "import/ImportFixtures.h"
#include "import/ImportTestSupport.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/TestSupport.h"
#include "support/X11ClipboardPeer.h"
#include "support/X11Environment.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Service = ImageImportService;

namespace {

// Another program takes the clipboard with this data under this type, as xclip does: it
// stays in the background serving it until someone else owns the clipboard.
void copyElsewhere(X11Pasteboard& pasteboard, const QString& type, const QByteArray& data)
{
    const qint64 before = pasteboard.changeCount();
    QByteArray ignored;
    X11Environment::server()->run(QStringLiteral("xclip"),
                                  {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), type,
                                   QStringLiteral("-i")},
                                  &ignored, data);
    ASSERT_TRUE(runUntil([&] { return pasteboard.changeCount() != before; }));
}

QImage pattern()
{
    QImage image(33, 21, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 7, y * 11, 90, x < 5 ? 128 : 255));
    return image;
}

class ClipboardImportX11 : public ::testing::Test {
protected:
    Service::Result paste()
    {
        auto batch = m_service.pasteBatch(m_pasteboard, m_accepted.function());
        return finishBatch(std::move(batch));
    }

    std::shared_ptr<ImageResourceStore> m_store = std::make_shared<ImageResourceStore>(qint64(256) << 20);
    std::shared_ptr<X11Pasteboard> m_pasteboard = std::make_shared<X11Pasteboard>();
    Service m_service{m_store};
    AcceptLog m_accepted;
};

} // namespace

TEST_F(ClipboardImportX11, AnImageCopiedByAnotherProgramImports)
{
    const QImage image = pattern();
    copyElsewhere(*m_pasteboard, QStringLiteral("image/png"), pngBytes(image));

    const Service::Result result = paste();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Service::BatchStatus::completed());
    EXPECT_TRUE(result->failures.isEmpty());
    ASSERT_EQ(m_accepted.images.size(), 1);
    const QImage& pinned = m_accepted.images[0].source.image;
    EXPECT_EQ(m_accepted.images[0].origin, DocumentOrigin::clipboardImage);
    ASSERT_EQ(pinned.size(), image.size());
    EXPECT_EQ(pinned.pixel(20, 10), image.pixel(20, 10));
    EXPECT_EQ(qAlpha(pinned.pixel(2, 2)), 128);
    saveTestImage(pinned, QStringLiteral("import-clipboard-x11"));
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ClipboardImportX11, AFileListCopiedAsAFileManagerDoesImportsTheFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("截图 1.png"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pngBytes(pattern()));
    file.close();
    copyElsewhere(*m_pasteboard, QStringLiteral("x-special/gnome-copied-files"),
                  "copy\n" + QUrl::fromLocalFile(path).toEncoded());

    const Service::Result result = paste();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Service::BatchStatus::completed());
    EXPECT_TRUE(result->failures.isEmpty());
    ASSERT_EQ(m_accepted.images.size(), 1);
    EXPECT_EQ(m_accepted.images[0].origin, DocumentOrigin::localFile);
    EXPECT_EQ(m_accepted.images[0].source.image.size(), QSize(33, 21));
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ClipboardImportX11, AListOfWebLinksAloneIsNeitherAFileNorAnImage)
{
    // A browser's "copy image" may offer the page's link beside the image.
    copyElsewhere(*m_pasteboard, QStringLiteral("text/uri-list"), "https://example.com/picture.png\r\n");
    const Service::Result result = paste();
    ASSERT_TRUE(result);
    // xclip offers one type: no image data, so nothing to pin, and no file reference either.
    EXPECT_EQ(result->failures, (QList<Service::Failure>{{QStringLiteral("置顶图片"),
                                                          QStringLiteral("剪贴板中没有可用的图片或图片文件。")}}));
}

TEST_F(ClipboardImportX11, AnOwnerThatNeverAnswersForOneTypeGivesWayToTheNextWithoutHoldingTheLoop)
{
    QImage image = pattern();
    X11ClipboardPeer::Options options;
    options.offers = {{"image/tiff", tiffBytes(image)}};
    options.stalledTarget = "image/png"; // listed, never served
    X11ClipboardPeer owner(options);
    ASSERT_TRUE(owner.start(X11Environment::server()->display()));

    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    const Service::Result result = paste();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->failures.isEmpty());
    ASSERT_EQ(m_accepted.images.size(), 1);
    EXPECT_EQ(m_accepted.images[0].source.image.pixel(20, 10), image.pixel(20, 10));
    // The stalled PNG read took about a second, during which the event loop kept turning.
    EXPECT_GT(ticks, 10);
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ClipboardImportX11, ALargeImageServedInSlowPiecesImports)
{
    QImage noise(400, 300, QImage::Format_RGB32);
    QRandomGenerator random(3);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, random.generate() | 0xff000000u);
    const QByteArray png = pngBytes(noise);
    X11ClipboardPeer::Options options;
    options.offers = {{"image/png", png}};
    options.pieceBytes = 64 * 1024;
    options.pieceDelay = std::chrono::milliseconds(150);
    X11ClipboardPeer owner(options);
    ASSERT_TRUE(owner.start(X11Environment::server()->display()));

    const Service::Result result = paste();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->failures.isEmpty());
    ASSERT_EQ(m_accepted.images.size(), 1);
    EXPECT_EQ(m_accepted.images[0].source.image.pixel(399, 299), noise.pixel(399, 299));
    EXPECT_GT(owner.piecesSent(), 3);
}

TEST_F(ClipboardImportX11, APngBombCopiedByAnotherProgramIsRefusedAtOnceWithoutTakingMemory)
{
    QImage plain(16, 12, QImage::Format_RGB32);
    plain.fill(qRgb(200, 40, 40));
    copyElsewhere(*m_pasteboard, QStringLiteral("image/png"), pngBytes(plain));
    const ImportChildRun baseline = runImportChild({QStringLiteral("clipboard")});
    ASSERT_TRUE(baseline.finished);
    EXPECT_EQ(baseline.reason, QStringLiteral("ok"));
    for (const bool afterImageData : {false, true}) {
        SCOPED_TRACE(afterImageData ? "after the image data" : "before the image data");
        copyElsewhere(*m_pasteboard, QStringLiteral("image/png"), pngBomb(afterImageData));
        const ImportChildRun run = runImportChild({QStringLiteral("clipboard")});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.reason, QStringLiteral("图片损坏或无法读取。"));
        EXPECT_LT(run.seconds, 0.1);
        EXPECT_LT(run.peakKilobytes - baseline.peakKilobytes, 10 * 1024)
            << "peak " << run.peakKilobytes << " KiB against " << baseline.peakKilobytes << " KiB";
    }
}
