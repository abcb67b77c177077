// pin_request_harness under Xvfb and openbox: the --pin client against the instance of its
// display, the server's bounds as a real client meets them, and the clipboard road with xclip
// and the pin hot key pressed with xdotool.
// The pins are real windows: read back on the root, placed and stacked as xwininfo reports.
#include "app/shell/InstanceChannel.h"
#include "app/shell/PinServiceProvider.h"
#include "harness/HarnessProcess.h"
#include "harness/ServerStack.h"
#include "import/ImportFixtures.h"
#include "support/TestSupport.h"
#include "support/X11ClipboardPeer.h"
#include "support/X11Environment.h"
#include "platform/x11/X11ApplicationFocus.h"
#include "../platform/X11CaptureHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <unistd.h>

using namespace vorlith;
using namespace vorlith::test;
using namespace std::chrono_literals;

namespace {

class PinRequestHarnessX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid() && files.isValid());
        QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        writePng(QStringLiteral("a.png"), {40, 30});
        writePng(QStringLiteral("b.png"), {50, 20});
        QFile notes(path(QStringLiteral("notes.txt")));
        ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
        notes.write("notes");
    }

    QString path(const QString& name) const { return QDir(files.path()).filePath(name); }
    void writePng(const QString& name, QSize size)
    {
        QImage image(size, QImage::Format_ARGB32);
        image.fill(Qt::darkMagenta);
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pngBytes(image));
    }
    QProcessEnvironment environment(const QString& display) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        return env;
    }
    QString display() const { return X11Environment::server()->display(); }
    std::unique_ptr<HarnessProcess> instance(const QString& onDisplay)
    {
        auto harness = std::make_unique<HarnessProcess>(QStringLiteral(VORLITH_PIN_REQUEST_HARNESS), QStringList{},
                                                        environment(onDisplay));
        return harness;
    }

    struct ClientRun {
        int exitCode = -1;
        QString stderrText;
        qint64 ms = 0;
    };
    ClientRun client(const QStringList& arguments, const QString& onDisplay)
    {
        QProcess process;
        process.setProcessEnvironment(environment(onDisplay));
        process.setWorkingDirectory(files.path());
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(VORLITH_PIN_REQUEST_HARNESS), QStringList{QStringLiteral("--pin")} + arguments);
        // The instance answers on its own event loop; the client waits in its process.
        runUntil([&] { return process.state() == QProcess::NotRunning || process.waitForFinished(10); }, 10s);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardError()).trimmed(), timer.elapsed()};
    }
    // The instance's "state" lines up to "end".
    QStringList state(HarnessProcess& harness)
    {
        const qsizetype from = harness.lines.size();
        harness.send("state");
        if (!harness.line(QStringLiteral("end")))
            return {};
        return harness.lines.mid(from, harness.lines.size() - from - 1);
    }

    // The file's bytes on the clipboard as the type, offered by xclip; false when it is not.
    static bool putOnClipboard(const QString& file, const QString& type)
    {
        XvfbServer& server = *X11Environment::server();
        const QString selection[] = {QStringLiteral("-selection"), QStringLiteral("clipboard")};
        if (server.run(QStringLiteral("xclip"), {selection[0], selection[1], QStringLiteral("-t"), type, QStringLiteral("-i"), file}) != 0)
            return false;
        // xclip takes the selection from a child it forks: wait until the clipboard offers it.
        return runUntil([&] {
            QByteArray targets;
            server.run(QStringLiteral("xclip"),
                       {selection[0], selection[1], QStringLiteral("-o"), QStringLiteral("-t"), QStringLiteral("TARGETS")}, &targets);
            return targets.contains(type.toUtf8());
        });
    }

    QTemporaryDir runtime;
    QTemporaryDir files;
};

// A window's absolute rectangle as xwininfo reports it.
QRect serverRect(const QString& window)
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window}, &out);
    const QString text = QString::fromLocal8Bit(out);
    const auto value = [&](const QString& label) {
        return QRegularExpression(label + QStringLiteral(":\\s+(-?\\d+)")).match(text).captured(1).toInt();
    };
    return QRect(value(QStringLiteral("Absolute upper-left X")), value(QStringLiteral("Absolute upper-left Y")),
                 value(QStringLiteral("Width")), value(QStringLiteral("Height")));
}

// Waits until every point of the root shows the colour.
bool rootShows(const std::vector<QPoint>& points, QRgb colour)
{
    return runUntil([&] {
        return std::all_of(points.begin(), points.end(), [&](const QPoint& p) { return (rootPixel(p) & 0xffffff) == (colour & 0xffffff); });
    });
}

void saveRoot(const QString& name)
{
    X11Environment::server()->run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                             testOutputDir() + QLatin1Char('/') + name});
}

const QRgb pinColour = QColor(Qt::darkMagenta).rgb();

QRect rectOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    return parts.size() == 4 ? QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt()) : QRect();
}

TEST_F(PinRequestHarnessX11, OpenWithPinsTheFilesAndReportsWhatItCouldNot)
{
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));

    const ClientRun two = client({QStringLiteral("a.png"), path(QStringLiteral("b.png"))}, display());
    EXPECT_EQ(two.exitCode, 0) << two.stderrText.toStdString();
    std::printf("client_ms=%lld\n", two.ms);
    const std::optional<QString> first = harness->line(QStringLiteral("pinned"));
    const std::optional<QString> second = harness->line(QStringLiteral("pinned"));
    ASSERT_TRUE(first && second) << harness->transcript();
    EXPECT_EQ(field(*second, QStringLiteral("x")).toDouble() - field(*first, QStringLiteral("x")).toDouble(), 24);
    EXPECT_EQ(field(*second, QStringLiteral("y")).toDouble() - field(*first, QStringLiteral("y")).toDouble(), 24);
    ASSERT_TRUE(harness->line(QStringLiteral("finished")));
    // Two windows, each centred on its point: the second 24 right and 24 lower.
    const QRect a = serverRect(field(*first, QStringLiteral("content")));
    const QRect b = serverRect(field(*second, QStringLiteral("content")));
    EXPECT_EQ(a.size(), QSize(40, 30));
    EXPECT_EQ(b.size(), QSize(50, 20));
    EXPECT_EQ(b.x() + b.width() / 2 - (a.x() + a.width() / 2), 24);
    EXPECT_EQ(b.y() + b.height() / 2 - (a.y() + a.height() / 2), 24);

    const ClientRun mixed = client({QStringLiteral("a.png"), QStringLiteral("notes.txt")}, display());
    EXPECT_EQ(mixed.exitCode, 0);
    ASSERT_TRUE(harness->line(QStringLiteral("finished")));
    const QStringList lines = state(*harness);
    EXPECT_TRUE(lines.contains(QStringLiteral("toast phase=failure message=已置顶1张，另有1项需查看")))
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("details 已置顶 1 张图片 | 已跳过： | notes.txt")))
        << lines.join(QLatin1Char('\n')).toStdString();

    EXPECT_EQ(state(*harness).filter(QStringLiteral("pin ")).size(), 3);
    saveRoot(QStringLiteral("pin-request-open-with.png"));

    const ClientRun web = client({QStringLiteral("https://example.com/a.png")}, display());
    EXPECT_EQ(web.exitCode, 1);
    EXPECT_EQ(web.stderrText, PinServiceProvider::noFilesMessage());
    EXPECT_TRUE(harness->line(QStringLiteral("notice ") + PinServiceProvider::noFilesMessage()));
}

TEST_F(PinRequestHarnessX11, TwoDisplaysDoNotCross)
{
    XvfbServer other;
    ASSERT_TRUE(other.start(XvfbOptions{}));
    auto here = instance(display());
    auto there = instance(other.display());
    const std::optional<QString> hereReady = here->line(QStringLiteral("ready"));
    const std::optional<QString> thereReady = there->line(QStringLiteral("ready"));
    ASSERT_TRUE(hereReady && thereReady) << here->transcript() << there->transcript();
    EXPECT_NE(field(*hereReady, QStringLiteral("socket")), field(*thereReady, QStringLiteral("socket")));

    EXPECT_EQ(client({QStringLiteral("a.png")}, other.display()).exitCode, 0);
    ASSERT_TRUE(there->line(QStringLiteral("pinned")));
    ASSERT_TRUE(there->line(QStringLiteral("finished")));
    EXPECT_TRUE(state(*here).filter(QStringLiteral("pin ")).isEmpty());
    EXPECT_EQ(state(*there).filter(QStringLiteral("pin ")).size(), 1);
}

TEST_F(PinRequestHarnessX11, AStaleSocketIsReplacedAndASilentClientIsDropped)
{
    // A socket file its last run left behind, bound and never listened on.
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString socketPath = InstanceChannel::socketPath(display());
    ASSERT_TRUE(leaveStaleSocket(socketPath));

    auto harness = instance(display());
    const std::optional<QString> ready = harness->line(QStringLiteral("ready"));
    ASSERT_TRUE(ready) << harness->transcript();
    EXPECT_EQ(field(*ready, QStringLiteral("socket")), socketPath);

    QLocalSocket silent;
    silent.connectToServer(socketPath);
    ASSERT_TRUE(runUntil([&] { return silent.state() == QLocalSocket::ConnectedState; }));
    QElapsedTimer waited;
    waited.start();
    EXPECT_TRUE(runUntil([&] { return silent.state() == QLocalSocket::UnconnectedState; }, 5s));
    EXPECT_GE(waited.elapsed(), 1500);

    EXPECT_EQ(client({QStringLiteral("a.png")}, display()).exitCode, 0);
    EXPECT_TRUE(harness->line(QStringLiteral("pinned")));

    SCOPED_TRACE("a second instance of the display does not take the socket");
    auto second = instance(display());
    EXPECT_TRUE(second->line(QStringLiteral("error another instance runs")));
    qunsetenv("XDG_RUNTIME_DIR");
}

TEST_F(PinRequestHarnessX11, WithoutAnInstanceTheClientStartsOneOrRefusesAWebAddress)
{
    const ClientRun web = client({QStringLiteral("https://example.com/a.png")}, display());
    EXPECT_EQ(web.exitCode, 1);
    EXPECT_EQ(web.stderrText, PinServiceProvider::noFilesMessage());

    // The client becomes the instance and pins its files after launch.
    QProcess started;
    started.setProcessEnvironment(environment(display()));
    started.setWorkingDirectory(files.path());
    started.start(QStringLiteral(VORLITH_PIN_REQUEST_HARNESS), {QStringLiteral("--pin"), QStringLiteral("a.png")});
    QByteArray out;
    EXPECT_TRUE(runUntil([&] {
        started.waitForReadyRead(10);
        out += started.readAllStandardOutput();
        return out.contains("pinned");
    }, 10s)) << out.toStdString();
    started.write("quit\n");
    if (!started.waitForFinished(5000))
        started.kill();
}

TEST_F(PinRequestHarnessX11, TheHotKeyPinsTheClipboardImageAtThePointer)
{
    writePng(QStringLiteral("wide.png"), {240, 160});
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    XvfbServer& server = *X11Environment::server();
    ASSERT_TRUE(putOnClipboard(path(QStringLiteral("wide.png")), QStringLiteral("image/png")));
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("200")}), 0);
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("F2")}), 0);
    const std::optional<QString> pinned = harness->line(QStringLiteral("pinned"));
    ASSERT_TRUE(pinned) << harness->transcript() << "\n" << state(*harness).join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(pinned->startsWith(QStringLiteral("pinned x=300 y=200 w=240 h=160 "))) << pinned->toStdString();
    ASSERT_TRUE(harness->line(QStringLiteral("finished")));
    EXPECT_TRUE(state(*harness).contains(QStringLiteral("toast phase=success message=已置顶1张图片")));
    // The image's window, centred at the pointer, shows it on the screen.
    // (The badge and the strip stand inside its top corners.)
    EXPECT_EQ(serverRect(field(*pinned, QStringLiteral("content"))), QRect(180, 120, 240, 160));
    EXPECT_TRUE(rootShows({{190, 270}, {300, 200}, {410, 270}}, pinColour));
    saveRoot(QStringLiteral("pin-request-hotkey.png"));
}

TEST_F(PinRequestHarnessX11, TheHotKeyPinsTheImagesOfACopiedFilesList)
{
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    XvfbServer& server = *X11Environment::server();
    // What a file manager's copy offers: the files as URIs, a text file among them.
    QFile list(path(QStringLiteral("copied.txt")));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    for (const QString& name : {QStringLiteral("a.png"), QStringLiteral("notes.txt"), QStringLiteral("b.png")})
        list.write(QUrl::fromLocalFile(path(name)).toEncoded() + "\r\n");
    list.close();
    ASSERT_TRUE(putOnClipboard(list.fileName(), QStringLiteral("text/uri-list")));
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("600"), QStringLiteral("400")}), 0);
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("F2")}), 0);
    const std::optional<QString> first = harness->line(QStringLiteral("pinned"));
    const std::optional<QString> second = harness->line(QStringLiteral("pinned"));
    ASSERT_TRUE(first && second) << harness->transcript();
    EXPECT_TRUE(first->startsWith(QStringLiteral("pinned x=600 y=400 w=40 h=30 "))) << first->toStdString();
    EXPECT_TRUE(second->startsWith(QStringLiteral("pinned x=624 y=424 w=50 h=20 "))) << second->toStdString();
    ASSERT_TRUE(harness->line(QStringLiteral("finished")));
    const QStringList lines = state(*harness);
    EXPECT_TRUE(lines.contains(QStringLiteral("toast phase=failure message=已置顶2张，另有1项需查看")))
        << lines.join(QLatin1Char('\n')).toStdString();
    saveRoot(QStringLiteral("pin-request-copied-files.png"));
}

TEST_F(PinRequestHarnessX11, CancellingAClipboardImportLeavesNothing)
{
    // An owner that sends its image in slow pieces keeps the import reading.
    QFile png(path(QStringLiteral("wide.png")));
    writePng(QStringLiteral("wide.png"), {240, 160});
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    X11ClipboardPeer::Options slow;
    slow.offers = {{QByteArray("image/png"), png.readAll()}};
    slow.pieceBytes = 32;
    slow.pieceDelay = 100ms;
    X11ClipboardPeer owner(slow);
    ASSERT_TRUE(owner.start(display()));
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    XvfbServer& server = *X11Environment::server();
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("500"), QStringLiteral("500")}), 0);
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("F2")}), 0);

    // The working toast's cancel button, clicked as a user does.
    QRect button;
    ASSERT_TRUE(runUntil([&] {
        const QStringList buttons = state(*harness).filter(QStringLiteral("toast-button "));
        if (!buttons.isEmpty())
            button = rectOf(field(buttons.first(), QStringLiteral("rect")));
        return !button.isEmpty();
    })) << harness->transcript();
    saveRoot(QStringLiteral("pin-request-cancel.png"));
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(button.center().x()),
                                                     QString::number(button.center().y()), QStringLiteral("click"),
                                                     QStringLiteral("1")}),
              0);
    ASSERT_TRUE(harness->line(QStringLiteral("finished"), 20s)) << harness->transcript();
    spin(300ms);
    const QStringList lines = state(*harness);
    EXPECT_TRUE(lines.filter(QStringLiteral("pin ")).isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("toast")).isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_FALSE(harness->transcript().find("pinned") != std::string::npos);
}

TEST_F(PinRequestHarnessX11, TheOpenPanelHoldsRequestsBackAndItsCancelLeavesNoToast)
{
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    XvfbServer& server = *X11Environment::server();
    // A pin where the panel will stand.
    const QString big = path(QStringLiteral("big.png"));
    writePng(QStringLiteral("big.png"), {600, 400});
    harness->send(QStringLiteral("pin-file %1 at=500,380").arg(big).toUtf8());
    const std::optional<QString> pinned = harness->line(QStringLiteral("pinned"));
    ASSERT_TRUE(pinned && harness->line(QStringLiteral("finished"))) << harness->transcript();
    const QString pin = field(*pinned, QStringLiteral("content"));
    ASSERT_TRUE(rootShows({{500, 380}}, pinColour));

    harness->send("open");
    const std::optional<QString> panel = harness->line(QStringLiteral("panel"));
    ASSERT_TRUE(panel) << harness->transcript();
    const QString window = field(*panel, QStringLiteral("window"));
    ASSERT_TRUE(runUntil([&] {
        return server.run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}) == 0;
    }));
    spin(300ms);
    const QString panelHex = QStringLiteral("0x%1").arg(window.toULongLong(), 0, 16);
    EXPECT_TRUE(serverRect(panelHex).intersects(serverRect(pin)));
    EXPECT_EQ(serverOrder({panelHex, pin}), (QStringList{panelHex, pin}));
    saveRoot(QStringLiteral("pin-request-open-panel.png"));

    // While the panel is open, a request from another program is refused.
    const ClientRun refused = client({QStringLiteral("a.png")}, display());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.stderrText, PinServiceProvider::refusedMessage());

    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}), 0);
    spin(300ms);
    QStringList lines = state(*harness);
    EXPECT_TRUE(lines.filter(QStringLiteral("toast phase=working")).isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(lines.filter(QStringLiteral("pin ")).size(), 1);

    const ClientRun accepted = client({QStringLiteral("a.png")}, display());
    EXPECT_EQ(accepted.exitCode, 0) << accepted.stderrText.toStdString();
    EXPECT_TRUE(harness->line(QStringLiteral("pinned")));
}

TEST_F(PinRequestHarnessX11, TheMenuItemPinsTheClipboardAndEscapeStartsNothing)
{
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    XvfbServer& server = *X11Environment::server();
    ASSERT_TRUE(putOnClipboard(path(QStringLiteral("a.png")), QStringLiteral("image/png")));
    server.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("400"), QStringLiteral("300")});

    SCOPED_TRACE("Escape closes the menu; nothing starts");
    harness->send("menu");
    ASSERT_TRUE(harness->line(QStringLiteral("menu-open"))) << harness->transcript();
    server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(harness->line(QStringLiteral("menu-closed")));
    spin(300ms);
    QStringList lines = state(*harness);
    EXPECT_TRUE(lines.filter(QStringLiteral("pin ")).isEmpty());
    EXPECT_TRUE(lines.filter(QStringLiteral("toast ")).isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();

    SCOPED_TRACE("the item chosen: the clipboard image is pinned where the menu was opened");
    harness->send("menu");
    ASSERT_TRUE(harness->line(QStringLiteral("menu-open")));
    server.run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                          testOutputDir() + QStringLiteral("/pin-request-menu.png")});
    server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Return")});
    const std::optional<QString> pinned = harness->line(QStringLiteral("pinned"));
    ASSERT_TRUE(pinned) << harness->transcript();
    EXPECT_TRUE(pinned->startsWith(QStringLiteral("pinned x=400 y=300 w=40 h=30 "))) << pinned->toStdString();
}

TEST_F(PinRequestHarnessX11, ARequestDuringAnImportIsRefusedAndLeavesNoAccessOpen)
{
    // Six large screenshots keep the first import running while the second request arrives.
    QImage large(3840, 2160, QImage::Format_ARGB32);
    large.fill(Qt::darkMagenta);
    for (int i = 0; i < 400; ++i)
        QPainter(&large).fillRect(QRect((i * 97) % 3700, (i * 53) % 2100, 160, 40), QColor::fromHsv((i * 37) % 360, 120, 200));
    {
        QFile file(path(QStringLiteral("large0.png")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pngBytes(large));
    }
    QStringList names{QStringLiteral("large0.png")};
    for (int i = 1; i < 6; ++i) {
        names << QStringLiteral("large%1.png").arg(i);
        ASSERT_TRUE(QFile::copy(path(names[0]), path(names.back())));
    }
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));

    const ClientRun started = client(names, display());
    EXPECT_EQ(started.exitCode, 0) << started.stderrText.toStdString();
    const ClientRun refused = client({QStringLiteral("a.png")}, display());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.stderrText, PinServiceProvider::refusedMessage());
    EXPECT_TRUE(harness->line(QStringLiteral("notice ") + PinServiceProvider::refusedMessage()));
    const QStringList during = state(*harness);
    EXPECT_TRUE(during.contains(QStringLiteral("access 1"))) << during.join(QLatin1Char('\n')).toStdString();

    if (!during.contains(QStringLiteral("finished"))) {
        ASSERT_TRUE(harness->line(QStringLiteral("finished"), 60s)) << harness->transcript();
    }
    const QStringList after = state(*harness);
    EXPECT_TRUE(after.contains(QStringLiteral("access 0"))) << after.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(after.filter(QStringLiteral("pin ")).size(), 6);
    EXPECT_TRUE(after.contains(QStringLiteral("toast phase=success message=已置顶6张图片")));
}

TEST(ApplicationFocusX11, TheFrontApplicationIsTheActiveWindowsOwnerAndClass)
{
    ForeignWindow window(QRect(100, 100, 200, 150), 0xff30a050);
    ASSERT_TRUE(window.ready());
    XvfbServer& server = *X11Environment::server();
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                                                     QString::number(window.id())}),
              0);
    // The helper window names no class; give it one as a toolkit would.
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("set_window"), QStringLiteral("--classname"),
                                                     QStringLiteral("colours"), QStringLiteral("--class"),
                                                     QStringLiteral("ColourWindow"), QString::number(window.id())}),
              0);
    const QString expectedClass = QStringLiteral("ColourWindow");

    X11ApplicationFocus focus;
    std::optional<FrontApplication> front;
    ASSERT_TRUE(runUntil([&] {
        front = focus.frontApplication();
        return front && front->window == window.id();
    })) << (front ? front->window : 0);
    EXPECT_EQ(front->pid, window.pid());
    EXPECT_EQ(front->windowClass, expectedClass);

    EXPECT_EQ(X11ApplicationFocus::classOf(QByteArray("gimp\0Gimp\0", 10)), QStringLiteral("Gimp"));
    EXPECT_EQ(X11ApplicationFocus::classOf(QByteArray("gimp\0Gimp", 9)), QStringLiteral("Gimp"));
    EXPECT_FALSE(X11ApplicationFocus::classOf(QByteArray("gimp")));
    EXPECT_FALSE(X11ApplicationFocus::classOf(QByteArray("gimp\0", 5)));
}

} // namespace
