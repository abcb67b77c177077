#include "app/output/ImageEncoder.h"
#include "app/output/OutputService.h"
#include "app/output/PasteboardTransaction.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QProcess>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// Runs a tool against the private server while our event loop keeps serving the clipboard
// (xclip -o asks this very process for the data).
QByteArray runServing(const QStringList& arguments, const QByteArray& input = {}, int* exitCode = nullptr)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), X11Environment::server()->display());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("xclip"), arguments);
    if (!process.waitForStarted(5000))
        return {};
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    QByteArray out;
    runUntil(
        [&] {
            out += process.readAllStandardOutput();
            return process.state() == QProcess::NotRunning;
        },
        10s);
    out += process.readAllStandardOutput();
    if (exitCode)
        *exitCode = process.exitCode();
    return out;
}

QStringList targets()
{
    const QByteArray out = runServing({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                       QStringLiteral("TARGETS"), QStringLiteral("-o")});
    QStringList list;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.trimmed().isEmpty())
            list << QString::fromUtf8(line.trimmed());
    }
    return list;
}

// Another client takes the clipboard with text, as a user copying in another program. Returns
// once Qt has seen the new owner too: Qt stamps its own selection requests with the newest
// server time it has processed, and a user always gives it event-loop turns between a copy
// elsewhere and a copy here.
void xclipWrites(const QByteArray& text)
{
    int changes = 0;
    const QMetaObject::Connection watch = QObject::connect(
        QGuiApplication::clipboard(), &QClipboard::changed, [&](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++changes;
        });
    QByteArray ignored;
    X11Environment::server()->run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")},
                                  &ignored, text);
    EXPECT_TRUE(runUntil([&] { return changes > 0; }));
    QObject::disconnect(watch);
}

QImage pattern()
{
    QImage image(97, 61, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qPremultiply(qRgba(x * 2, y * 4, (x + y) % 256, x < 10 ? 128 : 255)));
    return image;
}

} // namespace

TEST(X11Pasteboard, CopiedImageIsOfferedAsItsPngOnly)
{
    auto pasteboard = std::make_shared<X11Pasteboard>();
    ASSERT_TRUE(pasteboard->observesOwnerChanges());
    const QImage image = pattern();
    OutputService service(pasteboard);
    std::optional<OutputResult> result;
    service.copy(image, std::nullopt, [&](const OutputResult& r) { result = r; });
    ASSERT_TRUE(runUntil([&] { return result.has_value(); }));
    ASSERT_EQ(*result, OutputResult::success());
    const QByteArray png = ImageEncoder::encode(image, ImageFormat::png);

    QStringList offered = targets();
    EXPECT_TRUE(offered.contains(QStringLiteral("image/png"))) << offered.join(' ').toStdString();
    offered.removeIf([](const QString& t) { return X11Pasteboard::isProtocolTarget(t); });
    EXPECT_EQ(offered, QStringList{QStringLiteral("image/png")});

    const QByteArray pasted = runServing({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                          QStringLiteral("image/png"), QStringLiteral("-o")});
    EXPECT_EQ(pasted, png) << "served as encoded, not encoded again";
    const QImage decoded = QImage::fromData(pasted).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    ASSERT_EQ(decoded.size(), image.size());
    for (int y = 0; y < image.height(); ++y)
        ASSERT_EQ(0, memcmp(decoded.constScanLine(y), image.constScanLine(y), size_t(image.width()) * 4)) << y;
}

TEST(X11Pasteboard, ChangeCountMovesWhenAnotherClientWrites)
{
    X11Pasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    xclipWrites("from another program");
    ASSERT_TRUE(runUntil([&] { return pasteboard.changeCount() != before; }));

    // The other owner's text reads back through the seam, protocol targets left out.
    ASSERT_EQ(pasteboard.itemCount(), 1);
    const QStringList types = pasteboard.types(0);
    EXPECT_TRUE(types.contains(PasteboardType::plainText())) << types.join(' ').toStdString();
    for (const QString& type : types)
        EXPECT_FALSE(X11Pasteboard::isProtocolTarget(type)) << type.toStdString();
    EXPECT_EQ(pasteboard.data(0, PasteboardType::plainText()), QByteArray("from another program"));

    // Our own clear and write count too.
    const qint64 beforeClear = pasteboard.changeCount();
    const qint64 cleared = pasteboard.clearContents();
    EXPECT_GT(cleared, beforeClear);
    EXPECT_EQ(pasteboard.itemCount(), 0) << "no owner: an empty clipboard, not a crash";
    PasteboardItem text;
    text.setData(PasteboardType::plainText(), QByteArray("ours"));
    EXPECT_TRUE(pasteboard.writeObjects({text}));
    EXPECT_GT(pasteboard.changeCount(), cleared);
}

// The transaction's first write fails, so it has to put the previous contents back.
OutputResult commitFailingTheFirstWrite(X11Pasteboard& pasteboard, const PasteboardItem& item)
{
    int calls = 0;
    const PasteboardWriter failFirst = [&](Pasteboard& target, const QList<PasteboardItem>& items) {
        return ++calls > 1 && target.writeObjects(items);
    };
    return PasteboardTransaction::commit(pasteboard, failFirst, item);
}

TEST(X11Pasteboard, FailedWritePutsAnotherProgramsTextBack)
{
    X11Pasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    xclipWrites("keep me");
    ASSERT_TRUE(runUntil([&] { return pasteboard.changeCount() != before; }));

    PasteboardItem item;
    item.setData(PasteboardType::png(), QByteArray("png bytes"));
    const OutputResult result = commitFailingTheFirstWrite(pasteboard, item);
    EXPECT_EQ(result.message, QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));
    EXPECT_EQ(runServing({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")}),
              QByteArray("keep me"));
}

TEST(X11Pasteboard, TextIsReadableAsUtf8String)
{
    X11Pasteboard pasteboard;
    PasteboardItem item;
    item.setData(PasteboardType::plainText(), QStringLiteral("#1A2B3C 颜色").toUtf8());
    ASSERT_TRUE(PasteboardTransaction::commit(pasteboard, PasteboardTransaction::defaultWriter, item).isSuccess());
    EXPECT_EQ(QString::fromUtf8(runServing({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o")})),
              QStringLiteral("#1A2B3C 颜色"));
}

// Qt reads a foreign image owner as its own types plus an "application/x-qt-image" of its
// making. Put back as data, that pseudo type made Qt offer a row of image targets it could not
// serve (and a null QClipboard::image()): the restore must offer what the owner offered.
TEST(X11Pasteboard, FailedWritePutsAnotherProgramsImageBackAsItWas)
{
    X11Pasteboard pasteboard;
    const QByteArray png = ImageEncoder::encode(pattern(), ImageFormat::png);
    const qint64 before = pasteboard.changeCount();
    int changes = 0;
    const QMetaObject::Connection watch = QObject::connect(
        QGuiApplication::clipboard(), &QClipboard::changed, [&](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++changes;
        });
    QByteArray ignored;
    X11Environment::server()->run(QStringLiteral("xclip"),
                                  {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                                   QStringLiteral("image/png"), QStringLiteral("-i")},
                                  &ignored, png);
    ASSERT_TRUE(runUntil([&] { return changes > 0 && pasteboard.changeCount() != before; }));
    QObject::disconnect(watch);
    EXPECT_EQ(pasteboard.types(0), QStringList{PasteboardType::png()});

    PasteboardItem item;
    item.setData(PasteboardType::plainText(), QByteArray("#FFFFFF"));
    const OutputResult result = commitFailingTheFirstWrite(pasteboard, item);
    EXPECT_EQ(result.message, QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));

    QStringList offered = targets();
    offered.removeIf([](const QString& t) { return X11Pasteboard::isProtocolTarget(t); });
    EXPECT_EQ(offered, QStringList{QStringLiteral("image/png")}) << offered.join(' ').toStdString();
    EXPECT_EQ(runServing({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                          QStringLiteral("image/png"), QStringLiteral("-o")}),
              png);
}
