#include "app/output/ImageEncoder.h"
#include "app/output/OutputService.h"
#include "app/output/PasteboardTransaction.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/RenderingFixtures.h"
#include "support/TaskOutcome.h"
#include "support/TestSupport.h"
#include "support/X11ClipboardPeer.h"
#include "support/X11Environment.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImageReader>
#include <QElapsedTimer>
#include <QProcess>
#include <QTimer>

#include <csignal>

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
// once the pasteboard has seen the new owner.
void xclipWrites(X11Pasteboard& pasteboard, const QByteArray& text, const QString& target = {})
{
    const qint64 before = pasteboard.changeCount();
    QStringList arguments{QStringLiteral("-selection"), QStringLiteral("clipboard")};
    if (!target.isEmpty())
        arguments << QStringLiteral("-t") << target;
    QByteArray ignored;
    X11Environment::server()->run(QStringLiteral("xclip"), arguments << QStringLiteral("-i"), &ignored, text);
    EXPECT_TRUE(runUntil([&] { return pasteboard.changeCount() != before; }));
}

QByteArray paste(const QString& target = {})
{
    QStringList arguments{QStringLiteral("-selection"), QStringLiteral("clipboard")};
    if (!target.isEmpty())
        arguments << QStringLiteral("-t") << target;
    return runServing(arguments << QStringLiteral("-o"));
}

std::optional<QList<QStringList>> readItems(X11Pasteboard& pasteboard)
{
    return finish(pasteboard.readItems({})).value.value_or(std::nullopt);
}

PasteboardRead readData(X11Pasteboard& pasteboard, const QString& type)
{
    return finish(pasteboard.readData(0, type, {})).value.value_or(PasteboardRead{});
}

// One transaction to its end.
OutputResult commit(const std::shared_ptr<X11Pasteboard>& pasteboard, const PasteboardWriter& writer,
                    const PasteboardItem& item)
{
    const auto outcome = finish(PasteboardTransaction::commit(pasteboard, writer, item, {}, {}));
    EXPECT_TRUE(outcome.finished && !outcome.error);
    return outcome.value && *outcome.value ? **outcome.value : OutputResult::cancelled();
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
    xclipWrites(pasteboard, "from another program");

    // The other owner's text reads back through the seam, protocol targets left out.
    const std::optional<QList<QStringList>> items = readItems(pasteboard);
    ASSERT_TRUE(items);
    ASSERT_EQ(items->size(), 1);
    const QStringList types = items->first();
    EXPECT_EQ(types, QStringList{PasteboardType::plainText()}) << types.join(' ').toStdString();
    EXPECT_EQ(readData(pasteboard, PasteboardType::plainText()).data, QByteArray("from another program"));
    EXPECT_EQ(readData(pasteboard, PasteboardType::png()).outcome, PasteboardRead::Outcome::unreadable);

    // Our own write counts too; the clear leaves the owner in place (see the refilling manager).
    const qint64 cleared = pasteboard.clearContents();
    EXPECT_EQ(readData(pasteboard, PasteboardType::plainText()).data, QByteArray("from another program"));
    PasteboardItem text;
    text.setData(PasteboardType::plainText(), QByteArray("ours"));
    EXPECT_TRUE(pasteboard.writeObjects({text}));
    EXPECT_GT(pasteboard.changeCount(), cleared);
    EXPECT_EQ(readItems(pasteboard), std::optional(QList<QStringList>{{PasteboardType::plainText()}}));
    EXPECT_EQ(paste(), QByteArray("ours"));
}

// The transaction's first write fails, so it has to put the previous contents back.
OutputResult commitFailingTheFirstWrite(const std::shared_ptr<X11Pasteboard>& pasteboard, const PasteboardItem& item)
{
    auto calls = std::make_shared<int>(0);
    const PasteboardWriter failFirst = [calls](Pasteboard& target, const QList<PasteboardItem>& items) {
        return ++*calls > 1 && target.writeObjects(items);
    };
    return commit(pasteboard, failFirst, item);
}

TEST(X11Pasteboard, FailedWritePutsAnotherProgramsTextBack)
{
    auto pasteboard = std::make_shared<X11Pasteboard>();
    xclipWrites(*pasteboard, "keep me");

    PasteboardItem item;
    item.setData(PasteboardType::png(), QByteArray("png bytes"));
    const OutputResult result = commitFailingTheFirstWrite(pasteboard, item);
    EXPECT_EQ(result.message, QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));
    EXPECT_EQ(paste(), QByteArray("keep me"));
}

TEST(X11Pasteboard, TextIsReadableUnderEveryTextTarget)
{
    auto pasteboard = std::make_shared<X11Pasteboard>();
    PasteboardItem item;
    item.setData(PasteboardType::plainText(), QStringLiteral("#1A2B3C é").toUtf8());
    ASSERT_TRUE(commit(pasteboard, PasteboardTransaction::defaultWriter, item).isSuccess());
    EXPECT_EQ(QString::fromUtf8(paste()), QStringLiteral("#1A2B3C é"));
    EXPECT_EQ(QString::fromUtf8(paste(QStringLiteral("text/plain"))), QStringLiteral("#1A2B3C é"));
    EXPECT_EQ(paste(QStringLiteral("STRING")), QStringLiteral("#1A2B3C é").toLatin1());
}

TEST(X11Pasteboard, FailedWritePutsAnotherProgramsImageBackAsItWas)
{
    auto pasteboard = std::make_shared<X11Pasteboard>();
    const QByteArray png = ImageEncoder::encode(pattern(), ImageFormat::png);
    xclipWrites(*pasteboard, png, QStringLiteral("image/png"));
    EXPECT_EQ(readItems(*pasteboard), std::optional(QList<QStringList>{{PasteboardType::png()}}));

    PasteboardItem item;
    item.setData(PasteboardType::plainText(), QByteArray("#FFFFFF"));
    const OutputResult result = commitFailingTheFirstWrite(pasteboard, item);
    EXPECT_EQ(result.message, QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));

    QStringList offered = targets();
    offered.removeIf([](const QString& t) { return X11Pasteboard::isProtocolTarget(t); });
    EXPECT_EQ(offered, QStringList{QStringLiteral("image/png")}) << offered.join(' ').toStdString();
    EXPECT_EQ(paste(QStringLiteral("image/png")), png);
}

namespace {

// Counts how late a 50 ms timer fires while the event loop runs: a blocked loop shows as a gap.
class LoopWatch {
public:
    LoopWatch()
    {
        m_clock.start();
        m_timer.setInterval(50);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longestGap = std::max(m_longestGap, now - m_last);
            m_last = now;
            ++m_ticks;
        });
        m_timer.start();
    }
    qint64 longestGapMs() const { return m_longestGap; }
    int ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longestGap = 0;
    int m_ticks = 0;
};

OutputResult copyAndWait(OutputService& service, const QImage& image, std::chrono::milliseconds timeout = 10s)
{
    std::optional<OutputResult> result;
    service.copy(image, std::nullopt, [&](const OutputResult& r) { result = r; });
    EXPECT_TRUE(runUntil([&] { return result.has_value(); }, timeout));
    return result.value_or(OutputResult::cancelled());
}

} // namespace

// A clipboard manager that takes the clipboard back whenever it has no owner (KDE's does by
// default) must not make copies fail: the clipboard is never left without owner.
TEST(X11Pasteboard, CopiesSucceedBesideAManagerThatRefillsAnEmptyClipboard)
{
    X11ClipboardPeer manager({{{"UTF8_STRING", "kept by the manager"}}, true});
    ASSERT_TRUE(manager.start(X11Environment::server()->display()));
    auto pasteboard = std::make_shared<X11Pasteboard>();
    OutputService service(pasteboard);
    const QImage image = noiseImage(QSize(300, 300)); // noise compresses badly: the PNG is large
    const QByteArray png = ImageEncoder::encode(image, ImageFormat::png);
    ASSERT_GT(png.size(), 256 * 1024) << "large enough to be served in INCR pieces";

    for (int copy = 0; copy < 10; ++copy) {
        SCOPED_TRACE(copy);
        ASSERT_EQ(copyAndWait(service, image), OutputResult::success());
    }
    EXPECT_EQ(manager.refills(), 0) << "never left without owner";
    const QByteArray pasted = paste(QStringLiteral("image/png"));
    EXPECT_EQ(pasted, png);
    saveTestImage(QImage::fromData(pasted), QStringLiteral("clipboard-after-ten-copies-beside-a-manager"));
}

// An owner that is stopped answers nothing. On X11 a failed write leaves the owner in place, so
// the copy reads nothing of it: it neither waits for the owner nor refuses, and a write that
// fails still leaves that owner's contents where they were.
TEST(X11Pasteboard, AStoppedOwnerNeverDelaysTheCopy)
{
    for (const bool writeFails : {true, false}) {
        SCOPED_TRACE(writeFails ? "the write fails" : "the write succeeds");
        auto pasteboard = std::make_shared<X11Pasteboard>();
        QProcess owner;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), X11Environment::server()->display());
        owner.setProcessEnvironment(env);
        const qint64 before = pasteboard->changeCount();
        owner.start(QStringLiteral("xclip"), {QStringLiteral("-quiet"), QStringLiteral("-selection"),
                                              QStringLiteral("clipboard"), QStringLiteral("-i")});
        ASSERT_TRUE(owner.waitForStarted(5000));
        owner.write("the stopped owner's text");
        owner.closeWriteChannel();
        ASSERT_TRUE(runUntil([&] { return pasteboard->changeCount() != before; }));
        ASSERT_EQ(::kill(pid_t(owner.processId()), SIGSTOP), 0);

        OutputService service(pasteboard, {},
                              writeFails ? PasteboardWriter([](Pasteboard&, const QList<PasteboardItem>&) { return false; })
                                         : PasteboardWriter());
        LoopWatch watch;
        QElapsedTimer elapsed;
        elapsed.start();
        const OutputResult result = copyAndWait(service, pattern());
        EXPECT_EQ(result, writeFails ? OutputResult::failure(QStringLiteral(
                                           "剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"))
                                     : OutputResult::success());
        EXPECT_LT(elapsed.elapsed(), 500) << "the copy did not wait for the silent owner";
        EXPECT_LT(watch.longestGapMs(), 300);

        ::kill(pid_t(owner.processId()), SIGCONT);
        if (writeFails) {
            EXPECT_EQ(paste(), QByteArray("the stopped owner's text")) << "the clipboard was not touched";
        } else {
            EXPECT_EQ(QImage::fromData(paste(QStringLiteral("image/png"))).size(), pattern().size());
        }
        owner.kill();
        owner.waitForFinished(5000);
    }
}

namespace {

// A Qt program owning the clipboard with a picture: it offers every format Qt writes and
// encodes the picture anew for each request.
class QtPeer {
public:
    explicit QtPeer(QSize size)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), X11Environment::server()->display());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_process.setProcessEnvironment(env);
        m_process.start(QStringLiteral(VORLITH_QT_CLIPBOARD_PEER),
                        {QString::number(size.width()), QString::number(size.height())});
    }
    ~QtPeer()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
    // Waits for a line the peer prints ("owned", "lost").
    bool said(const QByteArray& line, std::chrono::milliseconds timeout = 20s)
    {
        return runUntil(
            [&] {
                m_output += m_process.readAllStandardOutput();
                return m_output.split('\n').contains(line);
            },
            timeout);
    }

private:
    QProcess m_process;
    QByteArray m_output;
};

} // namespace

// A copy while a Qt program offers a 4K picture: nothing of it is read, so the copy takes no
// longer than over a short text; a failed write leaves the picture on the clipboard.
TEST(X11Pasteboard, AQtProgramOfferingA4KPictureNeverDelaysTheCopy)
{
    auto pasteboard = std::make_shared<X11Pasteboard>();
    const qint64 before = pasteboard->changeCount();
    QtPeer peer(QSize(3840, 2160));
    ASSERT_TRUE(peer.said("owned"));
    ASSERT_TRUE(runUntil([&] { return pasteboard->changeCount() != before; }));
    ASSERT_TRUE(targets().contains(QStringLiteral("image/bmp"))) << "offered in every format Qt writes";

    PasteboardItem item;
    item.setData(PasteboardType::plainText(), QByteArray("#FFFFFF"));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(commitFailingTheFirstWrite(pasteboard, item).message,
              QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));
    EXPECT_LT(elapsed.elapsed(), 500) << "nothing of the picture was read";
    EXPECT_TRUE(targets().contains(QStringLiteral("image/png"))) << "the picture stays on the clipboard";

    OutputService service(pasteboard);
    LoopWatch watch;
    elapsed.restart();
    EXPECT_EQ(copyAndWait(service, pattern()), OutputResult::success());
    EXPECT_LT(elapsed.elapsed(), 1000);
    EXPECT_LT(watch.longestGapMs(), 300);
    EXPECT_TRUE(peer.said("lost"));
    EXPECT_EQ(QImage::fromData(paste(QStringLiteral("image/png"))).size(), pattern().size());
}

// An owner that sends a large image in INCR pieces, pausing between them, takes longer than
// the no-progress timeout in total: every piece is progress, so it is read whole. A type whose
// owner never answers counts as unreadable and the rest of the contents is still copied.
TEST(X11Pasteboard, SlowPiecesAreReadWholeAndAStalledTypeIsUnreadable)
{
    QByteArray image(640 * 1024, Qt::Uninitialized);
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 131) >> 3);
    X11ClipboardPeer::Options options;
    options.offers = {{"image/png", image}, {"UTF8_STRING", "caption"}};
    options.pieceBytes = 64 * 1024;
    options.pieceDelay = 150ms;
    options.stalledTarget = "application/x-stuck";
    X11ClipboardPeer owner(options);
    ASSERT_TRUE(owner.start(X11Environment::server()->display()));
    auto pasteboard = std::make_shared<X11Pasteboard>();

    EXPECT_EQ(readItems(*pasteboard),
              std::optional(QList<QStringList>{{PasteboardType::png(), PasteboardType::plainText(),
                                                 QStringLiteral("application/x-stuck")}}));
    LoopWatch watch;
    QElapsedTimer elapsed;
    elapsed.start();
    const PasteboardRead read = readData(*pasteboard, PasteboardType::png());
    EXPECT_GT(elapsed.elapsed(), 1200) << "slower than the timeout in total";
    ASSERT_EQ(read.outcome, PasteboardRead::Outcome::read);
    EXPECT_EQ(read.data, image);
    EXPECT_GE(owner.piecesSent(), 10);
    EXPECT_EQ(readData(*pasteboard, QStringLiteral("application/x-stuck")).outcome, PasteboardRead::Outcome::stalled);
    EXPECT_LT(watch.longestGapMs(), 300);

    // Through the transaction: the copy fails on purpose and reads nothing of this owner,
    // whose contents stay whole where they were, the stalled type included.
    PasteboardItem item;
    item.setData(PasteboardType::plainText(), QByteArray("#FFFFFF"));
    const int piecesBefore = owner.piecesSent();
    EXPECT_EQ(commitFailingTheFirstWrite(pasteboard, item).message,
              QStringLiteral("剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。"));
    EXPECT_EQ(owner.piecesSent(), piecesBefore) << "the copy read nothing";
    EXPECT_EQ(paste(QStringLiteral("image/png")), image);
    EXPECT_EQ(paste(), QByteArray("caption"));
}

// Qt's own clipboard (a text field's paste, its context menu) reads what we serve as any other
// client does, waiting on the main thread for the answer: our owner must answer all the same.
TEST(X11Pasteboard, QtInThisProcessReadsWhatWeServeAtOnce)
{
    auto pasteboard = std::make_shared<X11Pasteboard>();
    PasteboardItem item;
    item.setData(PasteboardType::plainText(), QByteArray("#ABCDEF"));
    ASSERT_TRUE(commit(pasteboard, PasteboardTransaction::defaultWriter, item).isSuccess());
    ASSERT_TRUE(runUntil([] { return !QGuiApplication::clipboard()->ownsClipboard(); }));
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("#ABCDEF"));
    EXPECT_LT(elapsed.elapsed(), 1000);
}

namespace {

// A large image (served in INCR pieces) copied through the output service. The service is
// gone when this returns; the pasteboard is the caller's last reference.
QByteArray copyLargeImage(const std::shared_ptr<X11Pasteboard>& pasteboard)
{
    const QImage image = noiseImage(QSize(300, 300));
    const QByteArray png = ImageEncoder::encode(image, ImageFormat::png);
    EXPECT_GT(png.size(), X11SelectionOwner::pieceBytes) << "large enough to be served in INCR pieces";
    OutputService service(pasteboard);
    EXPECT_EQ(copyAndWait(service, image), OutputResult::success());
    return png;
}

qint64 msToDestroy(std::shared_ptr<X11Pasteboard>& pasteboard)
{
    QElapsedTimer elapsed;
    elapsed.start();
    pasteboard.reset();
    return elapsed.elapsed();
}

} // namespace

// What we copied must outlive us: a clipboard manager is asked to save it, reads it (in one
// MULTIPLE request or target by target, the image in INCR pieces) and serves it afterwards.
TEST(X11Pasteboard, ClipboardManagerKeepsACopiedImageAfterThePasteboardGoes)
{
    struct Case {
        const char* name;
        bool throughMultiple;
        bool explicitCall; // the entry point's call at quit; otherwise the destructor's
    };
    for (const Case& c : {Case{"MULTIPLE, explicit", true, true}, Case{"one by one, destructor", false, false}}) {
        SCOPED_TRACE(c.name);
        X11ClipboardPeer::Options options;
        options.clipboardManager = true;
        options.savesThroughMultiple = c.throughMultiple;
        options.unlistedTarget = "application/x-not-offered";
        options.pieceBytes = 64 * 1024; // it serves the image back in INCR pieces too
        X11ClipboardPeer manager(options);
        ASSERT_TRUE(manager.start(X11Environment::server()->display()));

        auto pasteboard = std::make_shared<X11Pasteboard>();
        const QByteArray png = copyLargeImage(pasteboard);
        if (c.explicitCall) {
            pasteboard->handOverToClipboardManager();
            EXPECT_EQ(pasteboard->lastHandOver(), X11SelectionOwner::HandOver::saved);
        }
        EXPECT_LT(msToDestroy(pasteboard), 2000);
        EXPECT_EQ(manager.saves(), 1) << "saved once, not again on destruction";
        EXPECT_EQ(manager.multipleRequests(), c.throughMultiple ? 1 : 0);
        EXPECT_EQ(manager.singleRequests(), c.throughMultiple ? 0 : 1) << "only the image/png target is listed";
        EXPECT_EQ(manager.refusedPairs(), c.throughMultiple ? 1 : 0) << "the target we do not offer, in its pair";

        const QByteArray pasted = paste(QStringLiteral("image/png"));
        EXPECT_EQ(pasted.size(), png.size());
        EXPECT_TRUE(pasted == png) << "byte for byte from the manager";
        if (c.throughMultiple)
            saveTestImage(QImage::fromData(pasted), QStringLiteral("clipboard-kept-by-the-manager"));
    }
}

// Without a manager, or when another program owns the clipboard, there is nothing to wait for.
TEST(X11Pasteboard, HandOverReturnsAtOnceWithoutAManagerOrContents)
{
    auto pasteboard = std::make_shared<X11Pasteboard>();
    pasteboard->handOverToClipboardManager();
    EXPECT_EQ(pasteboard->lastHandOver(), X11SelectionOwner::HandOver::notOwner);

    copyLargeImage(pasteboard);
    QElapsedTimer elapsed;
    elapsed.start();
    pasteboard->handOverToClipboardManager();
    EXPECT_LT(elapsed.elapsed(), 100);
    EXPECT_EQ(pasteboard->lastHandOver(), X11SelectionOwner::HandOver::noManager);

    copyLargeImage(pasteboard);
    EXPECT_LT(msToDestroy(pasteboard), 100) << "the destructor's hand-over finds no manager either";
}

// A manager that never answers SAVE_TARGETS holds the exit up to the bound, no longer.
TEST(X11Pasteboard, HandOverToAManagerThatNeverAnswersIsBounded)
{
    X11ClipboardPeer::Options options;
    options.clipboardManager = true;
    options.answersSave = false;
    X11ClipboardPeer manager(options);
    ASSERT_TRUE(manager.start(X11Environment::server()->display()));

    auto pasteboard = std::make_shared<X11Pasteboard>();
    copyLargeImage(pasteboard);
    const qint64 destruction = msToDestroy(pasteboard);
    EXPECT_GE(destruction, X11SelectionOwner::handOverTimeout.count() - 50);
    EXPECT_LT(destruction, X11SelectionOwner::handOverTimeout.count() + 500);

    pasteboard = std::make_shared<X11Pasteboard>();
    copyLargeImage(pasteboard);
    pasteboard->handOverToClipboardManager();
    EXPECT_EQ(pasteboard->lastHandOver(), X11SelectionOwner::HandOver::timedOut);
    EXPECT_LT(msToDestroy(pasteboard), 100) << "handed over already: the destructor does not wait again";
    EXPECT_EQ(manager.saves(), 0);
}
