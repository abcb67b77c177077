// The vorlith program as a user meets it: started under a private X server with openbox and a
// trayer panel, driven with xdotool, its windows read back with xwininfo and the screen.
#include "platform/x11/X11ApplicationFocus.h"
#include "settings/OtherKeyGrabber.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;
using namespace std::chrono_literals;

namespace {

QProcessEnvironment sessionEnvironment(const QTemporaryDir& home)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), X11Environment::server()->display());
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    return environment;
}

// The program and, when asked, a trayer panel at the top right.
struct Session {
    QTemporaryDir home;
    QProcess program;
    QProcess trayer;

    Session() { QFile::setPermissions(home.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }

    ~Session()
    {
        for (QProcess* process : {&program, &trayer}) {
            if (process->state() != QProcess::NotRunning) {
                process->terminate();
                if (!process->waitForFinished(3000))
                    process->kill();
                process->waitForFinished(1000);
            }
        }
    }

    void startTrayer()
    {
        trayer.setProcessEnvironment(sessionEnvironment(home));
        trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                                                QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("request"),
                                                QStringLiteral("--height"), QStringLiteral("24"), QStringLiteral("--transparent"),
                                                QStringLiteral("false"), QStringLiteral("--tint"), QStringLiteral("0x303030")});
        ASSERT_TRUE(trayer.waitForStarted());
    }

    void startProgram()
    {
        program.setProcessEnvironment(sessionEnvironment(home));
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(VORLITH_PROGRAM), {});
        ASSERT_TRUE(program.waitForStarted());
    }

    static QString tree()
    {
        QByteArray out;
        X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, &out);
        return QString::fromUtf8(out);
    }

    // Our icon's window, embedded in trayer's panel: its absolute position.
    static std::optional<QPoint> dockedIcon()
    {
        const QStringList lines = tree().split(QLatin1Char('\n'));
        bool inPanel = false;
        for (const QString& line : lines) {
            if (line.contains(QStringLiteral("\"panel\": (\"panel\" \"trayer\")")))
                inPanel = true;
            else if (inPanel && line.contains(QStringLiteral("(\"vorlith\" \"Vorlith\")"))) {
                const QStringList parts = line.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
                const QString absolute = parts.last(); // "+X+Y"
                const QStringList xy = absolute.mid(1).split(QLatin1Char('+'));
                if (xy.size() == 2)
                    return QPoint(xy[0].toInt(), xy[1].toInt());
            }
        }
        return std::nullopt;
    }

    static std::optional<QString> visibleWindow(const QString& name)
    {
        QByteArray out;
        if (X11Environment::server()->run(QStringLiteral("xdotool"),
                                          {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), name},
                                          &out) != 0)
            return std::nullopt;
        const QString id = QString::fromUtf8(out).trimmed();
        return id.isEmpty() ? std::nullopt : std::optional<QString>(id.split(QLatin1Char('\n')).first());
    }

    static int xdotool(const QStringList& arguments) { return X11Environment::server()->run(QStringLiteral("xdotool"), arguments); }

    void click(const QPoint& at, int button)
    {
        ASSERT_EQ(xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()), QStringLiteral("click"),
                           QString::number(button)}),
                  0);
    }

    // A menu of ours is up: a viewable window of the program, other than the icon, wider
    // than the icon and narrower than the alerts.
    static bool menuShown()
    {
        QByteArray out;
        X11Environment::server()->run(QStringLiteral("xdotool"),
                                      {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--classname"),
                                       QStringLiteral("vorlith")},
                                      &out);
        for (const QString& id : QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            QByteArray geometry;
            X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id}, &geometry);
            const QString text = QString::fromUtf8(geometry);
            const int width = text.section(QStringLiteral("Width: "), 1).section(QLatin1Char('\n'), 0, 0).toInt();
            if (width > 100 && width < 400 && text.contains(QStringLiteral("IsViewable"))
                && text.contains(QStringLiteral("Override Redirect State: yes")))
                return true;
        }
        return false;
    }

    static void screen(const QString& name)
    {
        saveTestImage(QGuiApplication::primaryScreen()->grabWindow(0).toImage(), QStringLiteral("program-x11-") + name);
    }

    qint64 cpuTicks() const
    {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(program.processId()));
        if (!stat.open(QIODevice::ReadOnly))
            return -1;
        const QString text = QString::fromUtf8(stat.readAll());
        const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2).split(QLatin1Char(' '));
        return fields.value(11).toLongLong() + fields.value(12).toLongLong(); // utime + stime
    }
};

} // namespace

TEST(ProgramX11, DocksOpensItsMenuShowsAboutAndQuits)
{
    Session s;
    s.startTrayer();
    s.startProgram();
    ASSERT_TRUE(runUntil([] { return Session::dockedIcon().has_value(); }, 10s)) << Session::tree().toStdString();
    const QPoint icon = *Session::dockedIcon() + QPoint(11, 11);

    // Idle: no work while nothing happens.
    QThread::msleep(500);
    const qint64 before = s.cpuTicks();
    QThread::msleep(5000);
    EXPECT_LE(s.cpuTicks() - before, 5) << "ticks of CPU in 5 s of idling";

    s.click(icon, 1);
    ASSERT_TRUE(runUntil([] { return Session::menuShown(); }, 5s));
    Session::screen(QStringLiteral("menu"));
    // Up from nothing selects the last item ("退出 Vorlith"); once more, "关于 Vorlith".
    Session::xdotool({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Up"), QStringLiteral("Return")});
    ASSERT_TRUE(runUntil([] { return Session::visibleWindow(QStringLiteral("关于 Vorlith")).has_value(); }, 5s));
    Session::screen(QStringLiteral("about"));
    const QString about = *Session::visibleWindow(QStringLiteral("关于 Vorlith"));
    Session::xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), about});
    Session::xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(runUntil([] { return !Session::visibleWindow(QStringLiteral("关于 Vorlith")).has_value(); }, 5s));
    EXPECT_EQ(s.program.state(), QProcess::Running);

    // A second start opens the running one's menu at the pointer and ends at once.
    ASSERT_EQ(Session::xdotool({QStringLiteral("mousemove"), QStringLiteral("400"), QStringLiteral("300")}), 0);
    QProcess second;
    second.setProcessEnvironment(sessionEnvironment(s.home));
    second.start(QStringLiteral(VORLITH_PROGRAM), {});
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(runUntil([] { return Session::menuShown(); }, 5s));
    Session::screen(QStringLiteral("second-start-menu"));
    Session::xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    ASSERT_TRUE(runUntil([] { return !Session::menuShown(); }, 5s));

    // The right button opens the same menu; its last item quits.
    s.click(icon, 3);
    ASSERT_TRUE(runUntil([] { return Session::menuShown(); }, 5s));
    Session::xdotool({QStringLiteral("key"), QStringLiteral("Up"), QStringLiteral("Return")});
    ASSERT_TRUE(s.program.waitForFinished(5000));
    EXPECT_EQ(s.program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(s.program.exitCode(), 0);
}

TEST(ProgramX11, DocksWhenTheTrayComesLaterAndQuitsOnSigterm)
{
    Session s;
    s.startProgram();
    QThread::msleep(3000);
    EXPECT_FALSE(Session::dockedIcon());
    s.startTrayer();
    ASSERT_TRUE(runUntil([] { return Session::dockedIcon().has_value(); }, 10s)) << Session::tree().toStdString();
    s.program.terminate();
    ASSERT_TRUE(s.program.waitForFinished(5000));
    EXPECT_EQ(s.program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(s.program.exitCode(), 0);
}

TEST(ProgramX11, HotKeyHeldElsewhereIsToldOnceAndMarkedInTheMenu)
{
    OtherKeyGrabber other;
    ASSERT_EQ(other.grab(67, 0), 0); // F1
    Session s;
    s.startTrayer();
    s.startProgram();
    ASSERT_TRUE(runUntil([] { return Session::dockedIcon().has_value(); }, 10s));
    // The alert: above everything, with the keyboard; Return takes its one button.
    auto alertShown = [] {
        const QStringList lines = Session::tree().split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (line.contains(QStringLiteral("\"Vorlith\": (\"vorlith\" \"Vorlith\")")) && line.contains(QStringLiteral("420x")))
                return true;
        }
        return false;
    };
    ASSERT_TRUE(runUntil(alertShown, 5s)) << Session::tree().toStdString();
    QThread::msleep(300);
    Session::screen(QStringLiteral("hotkey-alert"));
    Session::xdotool({QStringLiteral("key"), QStringLiteral("Return")});
    ASSERT_TRUE(runUntil([&] { return !alertShown(); }, 5s));

    s.click(*Session::dockedIcon() + QPoint(11, 11), 1);
    ASSERT_TRUE(runUntil([] { return Session::menuShown(); }, 5s)) << Session::tree().toStdString();
    QThread::msleep(200);
    Session::screen(QStringLiteral("hotkey-menu"));
    Session::xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_EQ(s.program.state(), QProcess::Running);
}

TEST(ApplicationFocusX11, RestoreAsksTheWindowManagerAndChangesAreReported)
{
    QWidget first;
    auto second = std::make_unique<QWidget>();
    for (QWidget* window : {&first, second.get()}) {
        window->resize(200, 120);
        window->show();
    }
    X11ApplicationFocus focus;
    std::vector<quint32> reported;
    focus.onChanged = [&](const std::optional<FrontApplication>& front) {
        if (front)
            reported.push_back(front->window);
    };
    focus.watchChanges();
    auto activeIs = [&](QWidget& window) {
        const std::optional<FrontApplication> front = focus.frontApplication();
        return front && front->window == quint32(window.winId());
    };
    second->activateWindow();
    ASSERT_TRUE(runUntil([&] { return activeIs(*second); }, 5s));
    focus.restore(FrontApplication{std::nullopt, quint32(first.winId()), std::nullopt});
    ASSERT_TRUE(runUntil([&] { return activeIs(first); }, 5s));
    ASSERT_TRUE(runUntil([&] { return !reported.empty() && reported.back() == quint32(first.winId()); }, 5s));
    // A window that is gone is not asked for.
    const quint32 gone = quint32(second->winId());
    second.reset();
    focus.restore(FrontApplication{std::nullopt, gone, std::nullopt});
    QTest::qWait(200);
    EXPECT_TRUE(activeIs(first));
}
