// pin_request_harness under Xvfb and openbox: the --pin client against the instance of its
// display, the server's bounds as a real client meets them, and the clipboard road with xclip.
#include "app/shell/InstanceChannel.h"
#include "app/shell/PinServiceProvider.h"
#include "harness/HarnessProcess.h"
#include "import/ImportFixtures.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"
#include "platform/x11/X11ApplicationFocus.h"
#include "../platform/X11CaptureHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

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

    QTemporaryDir runtime;
    QTemporaryDir files;
};

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

    const ClientRun mixed = client({QStringLiteral("a.png"), QStringLiteral("notes.txt")}, display());
    EXPECT_EQ(mixed.exitCode, 0);
    ASSERT_TRUE(harness->line(QStringLiteral("finished")));
    const QStringList lines = state(*harness);
    EXPECT_TRUE(lines.contains(QStringLiteral("toast phase=failure message=已置顶1张，另有1项需查看")))
        << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("details 已置顶 1 张图片 | 已跳过： | notes.txt")))
        << lines.join(QLatin1Char('\n')).toStdString();

    QByteArray shot;
    X11Environment::server()->run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                             testOutputDir() + QStringLiteral("/pin-request-open-with.png")});

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
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    XvfbServer& server = *X11Environment::server();
    ASSERT_EQ(server.run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                   QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-i"),
                                                   path(QStringLiteral("b.png"))}),
              0);
    // xclip takes the selection from a child it forks: wait until the clipboard offers it.
    ASSERT_TRUE(runUntil([&] {
        QByteArray targets;
        server.run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"),
                                             QStringLiteral("-t"), QStringLiteral("TARGETS")},
                   &targets);
        return targets.contains("image/png");
    }));
    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("200")}), 0);
    harness->send("hotkey");
    const std::optional<QString> pinned = harness->line(QStringLiteral("pinned"));
    ASSERT_TRUE(pinned) << harness->transcript() << "\n" << state(*harness).join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(*pinned, QStringLiteral("pinned x=300 y=200 w=50 h=20"));
    ASSERT_TRUE(harness->line(QStringLiteral("finished")));
    EXPECT_TRUE(state(*harness).contains(QStringLiteral("toast phase=success message=已置顶1张图片")));
}

TEST_F(PinRequestHarnessX11, TheOpenPanelHoldsRequestsBackAndItsCancelLeavesNoToast)
{
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    harness->send("open");
    const std::optional<QString> panel = harness->line(QStringLiteral("panel"));
    ASSERT_TRUE(panel) << harness->transcript();
    const QString window = field(*panel, QStringLiteral("window"));
    XvfbServer& server = *X11Environment::server();
    ASSERT_TRUE(runUntil([&] {
        return server.run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"), QStringLiteral("--sync"), window}) == 0;
    }));
    spin(300ms);
    server.run(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                          testOutputDir() + QStringLiteral("/pin-request-open-panel.png")});

    // While the panel is open, a request from another program is refused.
    const ClientRun refused = client({QStringLiteral("a.png")}, display());
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.stderrText, PinServiceProvider::refusedMessage());

    ASSERT_EQ(server.run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}), 0);
    spin(300ms);
    QStringList lines = state(*harness);
    EXPECT_TRUE(lines.filter(QStringLiteral("toast phase=working")).isEmpty()) << lines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("pin ")).isEmpty());

    const ClientRun accepted = client({QStringLiteral("a.png")}, display());
    EXPECT_EQ(accepted.exitCode, 0) << accepted.stderrText.toStdString();
    EXPECT_TRUE(harness->line(QStringLiteral("pinned")));
}

TEST_F(PinRequestHarnessX11, TheMenuItemPinsTheClipboardAndEscapeStartsNothing)
{
    auto harness = instance(display());
    ASSERT_TRUE(harness->line(QStringLiteral("ready")));
    XvfbServer& server = *X11Environment::server();
    ASSERT_EQ(server.run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                                   QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-i"),
                                                   path(QStringLiteral("a.png"))}),
              0);
    ASSERT_TRUE(runUntil([&] {
        QByteArray targets;
        server.run(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"),
                                             QStringLiteral("-t"), QStringLiteral("TARGETS")},
                   &targets);
        return targets.contains("image/png");
    }));
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
    EXPECT_EQ(*pinned, QStringLiteral("pinned x=400 y=300 w=40 h=30"));
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
