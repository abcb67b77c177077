#include "support/XvfbServer.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <xcb/xcb.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace vorlith::test {

XvfbOptions XvfbOptions::parse(const std::string& text)
{
    XvfbOptions options;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const auto eq = item.find('=');
        const std::string key = item.substr(0, eq);
        const std::string value = eq == std::string::npos ? "1" : item.substr(eq + 1);
        if (key == "monitors")
            options.monitors = std::max(1, std::atoi(value.c_str()));
        else if (key == "width")
            options.width = std::atoi(value.c_str());
        else if (key == "height")
            options.height = std::atoi(value.c_str());
        else if (key == "scale")
            options.scale = std::atof(value.c_str());
        else if (key == "wm")
            options.windowManager = value != "0" && value != "none";
        else if (key == "compositor")
            options.compositor = value != "0";
        else if (key == "without") {
            std::stringstream names(value);
            std::string name;
            while (std::getline(names, name, '+'))
                if (!name.empty())
                    options.without.push_back(name);
        }
    }
    return options;
}

bool XvfbOptions::lacks(const std::string& extension) const
{
    return std::find(without.begin(), without.end(), extension) != without.end();
}

XvfbServer::~XvfbServer()
{
    stop();
}

pid_t XvfbServer::spawn(const QString& program, const QStringList& arguments, int displayFd) const
{
    std::vector<std::string> args{program.toStdString()};
    for (const QString& a : arguments)
        args.push_back(a.toStdString());
    const std::string display = m_display.toStdString();

    const pid_t pid = fork();
    if (pid == 0) {
        if (!display.empty())
            setenv("DISPLAY", display.c_str(), 1);
        // Keep the helpers quiet; their failures show up as timeouts with a message here.
        if (FILE* devnull = std::fopen("/dev/null", "w")) {
            dup2(fileno(devnull), STDERR_FILENO);
            if (displayFd != STDOUT_FILENO)
                dup2(fileno(devnull), STDOUT_FILENO);
        }
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        (void)displayFd;
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

bool XvfbServer::start(const XvfbOptions& options)
{
    stop();
    m_options = options;
    m_display.clear();

    int fds[2];
    if (pipe(fds) != 0)
        return false;
    const QString screen = QStringLiteral("%1x%2x24").arg(options.width * options.monitors).arg(options.height);
    QStringList arguments{QStringLiteral("-displayfd"), QString::number(fds[1]), QStringLiteral("-screen"),
                          QStringLiteral("0"), screen, QStringLiteral("-noreset"), QStringLiteral("-nolisten"),
                          QStringLiteral("tcp")};
    if (!options.lacks("RANDR"))
        arguments << QStringLiteral("+extension") << QStringLiteral("RANDR");
    for (const std::string& name : options.without)
        arguments << QStringLiteral("-extension") << QString::fromStdString(name);
    m_xvfb = spawn(QStringLiteral("Xvfb"), arguments, fds[1]);
    close(fds[1]);
    if (m_xvfb <= 0) {
        close(fds[0]);
        return false;
    }
    // Xvfb writes the display number it took, then a newline, once it accepts connections.
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        number.push_back(c);
    close(fds[0]);
    if (number.empty()) {
        stop();
        return false;
    }
    m_display = QStringLiteral(":") + QString::fromStdString(number);

    if (options.scale != 1.0) {
        const QByteArray resources = "Xft.dpi: " + QByteArray::number(qRound(96 * options.scale)) + "\n";
        if (run(QStringLiteral("xrdb"), {QStringLiteral("-merge")}, nullptr, resources) != 0) {
            stop();
            return false;
        }
    }
    if (!configureMonitors()) {
        stop();
        return false;
    }
    if (options.windowManager) {
        m_wm = spawn(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!waitForWindowManager()) {
            stop();
            return false;
        }
    }
    if (options.compositor) {
        m_compositor = spawn(QStringLiteral("xcompmgr"), {});
        if (!waitForCompositor()) {
            stop();
            return false;
        }
    }
    return true;
}

bool XvfbServer::configureMonitors()
{
    if (m_options.monitors < 2)
        return true;
    // Split the one Xvfb screen into side-by-side RandR monitors; the first takes over the
    // screen's own output so the server reports exactly the monitors asked for.
    const int mmWidth = qRound(m_options.width * 25.4 / 96.0);
    const int mmHeight = qRound(m_options.height * 25.4 / 96.0);
    for (int i = 0; i < m_options.monitors; ++i) {
        const QString geometry = QStringLiteral("%1/%2x%3/%4+%5+0")
                                     .arg(m_options.width)
                                     .arg(mmWidth)
                                     .arg(m_options.height)
                                     .arg(mmHeight)
                                     .arg(i * m_options.width);
        const QString output = i == 0 ? QStringLiteral("screen") : QStringLiteral("none");
        if (run(QStringLiteral("xrandr"),
                {QStringLiteral("--setmonitor"), QStringLiteral("VORLITH-%1").arg(i + 1), geometry, output}) != 0)
            return false;
    }
    return true;
}

bool XvfbServer::waitForWindowManager()
{
    // The window manager announces itself before it manages windows; a window mapped in
    // between can stay unmanaged and never be exposed. So map probe windows until the manager
    // reparents one into a frame: a probe that fell into that gap is replaced by a fresh one.
    xcb_connection_t* connection = xcb_connect(m_display.toLocal8Bit().constData(), nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return false;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    bool managed = false;
    QDeadlineTimer deadline(15000);
    while (!managed && !deadline.hasExpired()) {
        const xcb_window_t probe = xcb_generate_id(connection);
        const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_create_window(connection, XCB_COPY_FROM_PARENT, probe, screen->root, 0, 0, 16, 16, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_EVENT_MASK, &mask);
        xcb_map_window(connection, probe);
        xcb_flush(connection);
        QDeadlineTimer attempt(1000);
        while (!managed && !attempt.hasExpired()) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                if ((event->response_type & 0x7f) == XCB_REPARENT_NOTIFY)
                    managed = true;
                std::free(event);
            }
            if (!managed)
                QThread::msleep(5);
        }
        xcb_destroy_window(connection, probe);
        xcb_flush(connection);
    }
    xcb_disconnect(connection);
    return managed;
}

bool XvfbServer::waitForCompositor()
{
    // xcompmgr names the window that owns the compositing-manager selection after itself.
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QByteArray out;
        run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")}, &out);
        if (out.contains("\"xcompmgr\""))
            return true;
        QThread::msleep(20);
    }
    return false;
}

int XvfbServer::run(const QString& program, const QStringList& arguments, QByteArray* output,
                    const QByteArray& input) const
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return -1;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(15000)) {
        process.kill();
        process.waitForFinished(1000);
        return -1;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

namespace {
void terminate(pid_t& pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}
} // namespace

void XvfbServer::stop()
{
    terminate(m_compositor);
    terminate(m_wm);
    terminate(m_xvfb);
}

} // namespace vorlith::test
