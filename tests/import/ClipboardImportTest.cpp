#include "app/import/ClipboardFileList.h"
#include "app/import/ImageImportService.h"
#include "import/ImportFixtures.h"
#include "import/ImportTestSupport.h"
#include "support/FakePasteboard.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using Service = ImageImportService;
using Status = Service::BatchStatus;
using Stop = Service::StopReason;
using Entry = FakePasteboard::Entry;

namespace {

const QString clipboardImage = QStringLiteral("剪贴板图片");
const QString changedReason = QStringLiteral("剪贴板内容已变化，请重新置顶。");
const QString corruptReason = QStringLiteral("图片损坏或无法读取。");

QImage filled(QRgb colour, int width = 10, int height = 6)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

class ClipboardImport : public ::testing::Test {
protected:
    void offer(QList<Entry> entries) { m_pasteboard->writeAsOtherApplication({entries}); }
    Service::Result paste()
    {
        auto batch = m_service.pasteBatch(m_pasteboard, m_accepted.function());
        return finishBatch(std::move(batch));
    }
    QUrl writeFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(m_dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return QUrl::fromLocalFile(file.fileName());
    }
    // Pastes what is offered and expects that many images pinned, nothing reported.
    void pasteExpecting(qsizetype images)
    {
        m_accepted.images.clear();
        const Service::Result result = paste();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, Status::completed());
        EXPECT_TRUE(result->failures.isEmpty());
        EXPECT_EQ(m_accepted.images.size(), images);
        expectNothingHalfMade(*m_store, *result);
    }
    void countReads()
    {
        m_pasteboard->onRead = [this](FakePasteboard&) { ++m_reads; };
    }

    QTemporaryDir m_dir;
    std::shared_ptr<ImageResourceStore> m_store = std::make_shared<ImageResourceStore>(qint64(512) << 20);
    std::shared_ptr<FakePasteboard> m_pasteboard = [] {
        auto board = std::make_shared<FakePasteboard>();
        board->stallFor = std::chrono::milliseconds(20); // the real give-up time is a second
        return board;
    }();
    Service m_service{m_store};
    AcceptLog m_accepted;
    int m_reads = 0;
};

} // namespace

TEST_F(ClipboardImport, PngIsTakenBeforeTiffAndNeitherIsReadTwice)
{
    offer({{QStringLiteral("image/tiff"), tiffBytes(filled(qRgb(0, 0, 255)))},
           {QStringLiteral("image/png"), pngBytes(filled(qRgb(255, 0, 0)))}});
    countReads();
    Service::Result result = paste();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_TRUE(result->failures.isEmpty());
    ASSERT_EQ(m_accepted.images.size(), 1);
    EXPECT_EQ(m_accepted.images[0].origin, DocumentOrigin::clipboardImage);
    EXPECT_EQ(m_accepted.images[0].source.image.pixel(1, 1), qRgb(255, 0, 0));
    EXPECT_EQ(m_reads, 1);
    expectNothingHalfMade(*m_store, *result);

    // Both broken: each is read once although the decoder's list names them again, and the
    // first failure is reported.
    offer({{QStringLiteral("image/png"), QByteArray("broken")}, {QStringLiteral("image/tiff"), QByteArray("broken")}});
    m_reads = 0;
    result = paste();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_EQ(result->failures, (QList<Service::Failure>{{clipboardImage, corruptReason}}));
    EXPECT_EQ(m_reads, 2);
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ClipboardImport, ABrokenRepresentationGivesWayToOneThatDecodes)
{
    const struct {
        const char* what;
        QList<Entry> entries;
        QRgb pixel;
    } cases[] = {
        {"corrupt PNG, good TIFF",
         {{QStringLiteral("image/png"), QByteArray("broken")}, {QStringLiteral("image/tiff"), tiffBytes(filled(qRgb(0, 0, 255)))}},
         qRgb(0, 0, 255)},
        {"stalled PNG, good TIFF",
         {{QStringLiteral("image/png"), QByteArray("never sent"), true},
          {QStringLiteral("image/tiff"), tiffBytes(filled(qRgb(0, 0, 255)))}},
         qRgb(0, 0, 255)},
        {"unreadable PNG, good BMP",
         {{QStringLiteral("image/png"), std::nullopt}, {QStringLiteral("image/bmp"), [] {
               QByteArray bmp;
               QBuffer buffer(&bmp);
               buffer.open(QIODevice::WriteOnly);
               filled(qRgb(0, 128, 0)).save(&buffer, "BMP");
               return bmp;
           }()}},
         qRgb(0, 128, 0)},
        {"animated GIF, good WebP",
         {{QStringLiteral("image/gif"), gifBytes(2)}, {QStringLiteral("image/webp"), [] {
               QByteArray webp;
               QBuffer buffer(&webp);
               buffer.open(QIODevice::WriteOnly);
               filled(qRgb(200, 200, 0)).save(&buffer, "WEBP", 100);
               return webp;
           }()}},
         qRgb(200, 200, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        offer(c.entries);
        pasteExpecting(1);
        ASSERT_EQ(m_accepted.images.size(), 1);
        const QRgb got = m_accepted.images[0].source.image.pixel(2, 2);
        EXPECT_LE(std::abs(qRed(got) - qRed(c.pixel)) + std::abs(qGreen(got) - qGreen(c.pixel)) +
                      std::abs(qBlue(got) - qBlue(c.pixel)),
                  12);
    }
}

TEST_F(ClipboardImport, WhatCannotBePinnedIsReportedAsTheSystemSaysIt)
{
    const struct {
        const char* what;
        QList<Entry> entries;
        Service::Failure failure;
    } cases[] = {
        {"an animated GIF alone", {{QStringLiteral("image/gif"), gifBytes(2)}},
         {clipboardImage, QStringLiteral("暂不支持动态图像或多页图片。")}},
        {"text", {{QStringLiteral("text/plain"), QByteArray("hello")}},
         {QStringLiteral("置顶图片"), QStringLiteral("剪贴板中没有可用的图片或图片文件。")}},
        {"nothing", {}, {QStringLiteral("置顶图片"), QStringLiteral("剪贴板中没有可用的图片或图片文件。")}},
        {"a vector image only", {{QStringLiteral("image/svg+xml"), QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='4' height='4'/>")}},
         {QStringLiteral("置顶图片"), QStringLiteral("剪贴板中没有可用的图片或图片文件。")}},
        {"a file on another host",
         {{QStringLiteral("text/uri-list"), QByteArray("file://elsewhere/home/a.png\r\n")},
          {QStringLiteral("image/png"), pngBytes(filled(qRgb(1, 1, 1)))}},
         {QStringLiteral("图片文件"), corruptReason}},
        {"a truncated PNG", {{QStringLiteral("image/png"), pngBytes(filled(qRgb(9, 9, 9), 64, 48)).chopped(30)}},
         {clipboardImage, corruptReason}},
        {"a truncated JPEG", {{QStringLiteral("image/jpeg"), jpegBytes(filled(qRgb(9, 9, 9), 64, 48)).chopped(60)}},
         {clipboardImage, corruptReason}},
        {"a PNG bomb", {{QStringLiteral("image/png"), pngBomb(false)}}, {clipboardImage, corruptReason}},
        {"a copied-files list that cannot be read",
         {{QStringLiteral("x-special/gnome-copied-files"), std::nullopt}},
         {QStringLiteral("图片文件"), corruptReason}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        offer(c.entries);
        const Service::Result result = paste();
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, Status::completed());
        EXPECT_EQ(result->failures, QList<Service::Failure>{c.failure});
        EXPECT_TRUE(result->acceptedIDs.isEmpty());
        expectNothingHalfMade(*m_store, *result);
    }

    // An owner that never says what it holds reads as an empty clipboard.
    offer({{QStringLiteral("image/png"), pngBytes(filled(qRgb(1, 1, 1)))}});
    m_pasteboard->typesStall = true;
    const Service::Result unknown = paste();
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->failures,
              (QList<Service::Failure>{{QStringLiteral("置顶图片"), QStringLiteral("剪贴板中没有可用的图片或图片文件。")}}));
    m_pasteboard->typesStall = false;

    auto none = m_service.pasteBatch(nullptr, m_accepted.function());
    const Service::Result fromNull = finishBatch(std::move(none));
    ASSERT_TRUE(fromNull);
    EXPECT_EQ(fromNull->failures,
              (QList<Service::Failure>{{QStringLiteral("置顶图片"), QStringLiteral("剪贴板中没有可用的图片或图片文件。")}}));
}

TEST_F(ClipboardImport, AnImageAboveTheLargestSizeEndsTheCallWithoutTryingMore)
{
    offer({{QStringLiteral("image/png"), pngAnnouncing(10'000, 8'000)},
           {QStringLiteral("image/tiff"), tiffBytes(filled(qRgb(0, 0, 255)))}});
    countReads();
    const Service::Result result = paste();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::completed());
    EXPECT_EQ(result->failures,
              (QList<Service::Failure>{{clipboardImage, QStringLiteral("图片尺寸过大，请选择不超过6400万像素的图片。")}}));
    EXPECT_EQ(m_reads, 1);
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ClipboardImport, FilesOnTheClipboardWinOverItsImageData)
{
    const QUrl a = writeFile(QStringLiteral("a b.png"), pngBytes(filled(qRgb(9, 9, 9), 7, 5)));
    const QUrl b = writeFile(QStringLiteral("b.png"), pngBytes(filled(qRgb(8, 8, 8), 3, 2)));
    const QByteArray image = pngBytes(filled(qRgb(255, 255, 255)));
    const struct {
        const char* what;
        QList<Entry> entries;
    } cases[] = {
        {"a file manager's copy",
         {{QStringLiteral("x-special/gnome-copied-files"), "copy\n" + a.toEncoded() + "\n" + b.toEncoded()},
          {QStringLiteral("image/png"), image}}},
        {"a URI list with a comment and CRLF lines",
         {{QStringLiteral("text/uri-list"), "# two files\r\n" + a.toEncoded() + "\r\n" + b.toEncoded() + "\r\n"},
          {QStringLiteral("image/png"), image}}},
        {"a URI list naming localhost", // file://localhost/path is this machine
         {{QStringLiteral("text/uri-list"), "file://localhost" + a.toEncoded().mid(7) + "\nfile://localhost" +
                                                b.toEncoded().mid(7)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        offer(c.entries);
        pasteExpecting(2);
        ASSERT_EQ(m_accepted.images.size(), 2);
        EXPECT_EQ(m_accepted.images[0].origin, DocumentOrigin::localFile);
        EXPECT_EQ(m_accepted.images[0].source.image.size(), QSize(7, 5));
        EXPECT_EQ(m_accepted.images[1].source.image.size(), QSize(3, 2));
    }
}

TEST_F(ClipboardImport, WebLinksAreNoFilesAndTheImageDataIsTried)
{
    offer({{QStringLiteral("text/uri-list"), QByteArray("https://example.com/cat.png\r\n")},
           {QStringLiteral("image/png"), pngBytes(filled(qRgb(0, 0, 0), 4, 4))}});
    pasteExpecting(1);
    ASSERT_EQ(m_accepted.images.size(), 1);
    EXPECT_EQ(m_accepted.images[0].origin, DocumentOrigin::clipboardImage);
}

TEST_F(ClipboardImport, AChangeOfTheClipboardEndsTheCall)
{
    const QByteArray image = pngBytes(filled(qRgb(5, 5, 5)));

    // While its data is read.
    offer({{QStringLiteral("image/png"), image}});
    m_pasteboard->onRead = [](FakePasteboard& board) {
        board.onRead = nullptr;
        board.writeAsOtherApplication({FakePasteboard::item({{"text/plain", "other"}})});
    };
    Service::Result result = paste();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::clipboardChanged));
    EXPECT_EQ(result->failures, (QList<Service::Failure>{{clipboardImage, changedReason}}));
    expectNothingHalfMade(*m_store, *result);

    // While it is probed or decoded: nothing is pinned and nothing stays reserved.
    offer({{QStringLiteral("image/png"), image}});
    auto batch = m_service.pasteBatch(m_pasteboard, m_accepted.function());
    ASSERT_FALSE(batch.isReady());
    m_pasteboard->writeAsOtherApplication({FakePasteboard::item({{"text/plain", "other"}})});
    result = finishBatch(std::move(batch));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::clipboardChanged));
    EXPECT_EQ(result->failures, (QList<Service::Failure>{{clipboardImage, changedReason}}));
    EXPECT_TRUE(m_accepted.images.isEmpty());
    expectNothingHalfMade(*m_store, *result);

    // Between the files it names.
    const QUrl a = writeFile(QStringLiteral("a.png"), image);
    const QUrl b = writeFile(QStringLiteral("b.png"), image);
    offer({{QStringLiteral("text/uri-list"), a.toEncoded() + "\n" + b.toEncoded()}});
    auto accept = m_accepted.function();
    auto changing = [this, accept](const Service::ImportedImage& imported) {
        m_pasteboard->writeAsOtherApplication({});
        return accept(imported);
    };
    auto files = m_service.pasteBatch(m_pasteboard, changing);
    result = finishBatch(std::move(files));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::clipboardChanged));
    EXPECT_EQ(result->acceptedIDs.size(), 1);
    EXPECT_EQ(result->unprocessed, QStringList{QStringLiteral("b.png")});
    EXPECT_EQ(result->failures, (QList<Service::Failure>{{clipboardImage, changedReason}}));
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ClipboardImport, RefusalsOfTheBudgetAndTheHostStopTheCall)
{
    offer({{QStringLiteral("image/png"), pngBytes(filled(qRgb(5, 5, 5)))},
           {QStringLiteral("image/tiff"), tiffBytes(filled(qRgb(5, 5, 5)))}});

    auto tiny = std::make_shared<ImageResourceStore>(16);
    Service starved(tiny);
    auto batch = starved.pasteBatch(m_pasteboard, m_accepted.function());
    Service::Result result = finishBatch(std::move(batch));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::capacity));
    EXPECT_EQ(result->failures, (QList<Service::Failure>{
                                    {clipboardImage, QStringLiteral("当前图片占用较多内存，请先处理并关闭部分贴图，再添加图片。")}}));
    EXPECT_TRUE(tiny->work().isEmpty() && tiny->reservations().isEmpty());

    m_accepted.refuseFrom = 0;
    result = paste();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, Status::stopped(Stop::hostRefused));
    EXPECT_EQ(result->failures, (QList<Service::Failure>{
                                    {clipboardImage, QStringLiteral("无法创建置顶图片，原有图片仍然保留。")}}));
    expectNothingHalfMade(*m_store, *result);
}

TEST_F(ClipboardImport, ASecondCallWhileOneRunsIsBusyAndACancelledCallPinsNothing)
{
    offer({{QStringLiteral("image/png"), pngBytes(filled(qRgb(5, 5, 5)))}});
    std::stop_source stop;
    auto first = m_service.pasteBatch(m_pasteboard, m_accepted.function(), stop.get_token());
    auto second = m_service.pasteBatch(m_pasteboard, m_accepted.function());
    const Service::Result busy = finishBatch(std::move(second));
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->status, Status::busy());

    stop.request_stop();
    const Service::Result cancelled = finishBatch(std::move(first));
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->status, Status::cancelled());
    EXPECT_TRUE(cancelled->failures.isEmpty());
    EXPECT_TRUE(m_accepted.images.isEmpty());
    expectNothingHalfMade(*m_store, *cancelled);
    EXPECT_FALSE(m_service.isBusy());
}

TEST(ClipboardFileList, KeepsLocalFilesAndNotesFileReferences)
{
    const ClipboardFileList links = ClipboardFileList::fromUriList("https://a.example/x.png\r\nmailto:me@example.com\r\n");
    EXPECT_TRUE(links.files.isEmpty());
    EXPECT_FALSE(links.fileReferencePresent);

    const ClipboardFileList mixed =
        ClipboardFileList::fromUriList("https://a.example/x.png\r\nfile:///tmp/%E5%9B%BE%20a.png\r\nfile://far/b.png\r\n");
    EXPECT_EQ(mixed.files, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/tmp/图 a.png"))});
    EXPECT_TRUE(mixed.fileReferencePresent);

    const ClipboardFileList cut = ClipboardFileList::fromCopiedFiles("cut\nfile:///home/u/a.png\nsmb://server/share/b.png");
    EXPECT_EQ(cut.files, QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/home/u/a.png"))});
    EXPECT_TRUE(cut.fileReferencePresent);
    EXPECT_TRUE(ClipboardFileList::fromCopiedFiles("copy\nsftp://h/c.png").fileReferencePresent);
    EXPECT_FALSE(ClipboardFileList::fromCopiedFiles("copy\n").fileReferencePresent);
}
