// bench_launch: from starting `vorlith` until its icon is embedded in a tray host (trayer),
// against bench/peers/plain_tray (a bare QSystemTrayIcon and QMenu) measured the same way in
// the same run, interleaved. Also each program's resident memory after idling 2 s.
#include "X11Bench.h"
#include "platform/x11/XcbConnection.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <csignal>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

using namespace vorlith;
using namespace vorlith::bench;

namespace {

pid_t spawn(const char* program, const QString& home)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const QByteArray h = home.toLocal8Bit();
        setenv("HOME", h.constData(), 1);
        setenv("XDG_CONFIG_HOME", (h + "/config").constData(), 1);
        setenv("XDG_RUNTIME_DIR", h.constData(), 1);
        execl(program, program, static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

void stop(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

QByteArray classOf(xcb_connection_t* c, xcb_window_t window)
{
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 64), nullptr));
    if (!reply)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), xcb_get_property_value_length(reply.get()));
}

std::vector<xcb_window_t> children(xcb_connection_t* c, xcb_window_t window)
{
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
    if (!tree)
        return {};
    const xcb_window_t* list = xcb_query_tree_children(tree.get());
    return {list, list + xcb_query_tree_children_length(tree.get())};
}

// Trayer's panel: the window of class "panel\0trayer\0" anywhere below the root.
xcb_window_t findPanel(xcb_connection_t* c, xcb_window_t window, int depth = 0)
{
    if (classOf(c, window).startsWith("panel"))
        return window;
    if (depth > 4)
        return 0;
    for (xcb_window_t child : children(c, window)) {
        if (xcb_window_t found = findPanel(c, child, depth + 1))
            return found;
    }
    return 0;
}

// An icon of the given class embedded in the panel (in one of its sockets).
bool docked(xcb_connection_t* c, xcb_window_t panel, const QByteArray& instance)
{
    for (xcb_window_t socket : children(c, panel)) {
        for (xcb_window_t icon : children(c, socket)) {
            if (classOf(c, icon).startsWith(instance + '\0'))
                return true;
        }
    }
    return false;
}

struct Launch {
    double ms = 0;
    qint64 idleKiB = 0;
};

// One home per program for the whole run: the unmeasured first start makes its settings and
// autostart entry, as a first run does, and every measured start is an ordinary one.
Launch launchOnce(xcb_connection_t* c, xcb_window_t panel, const char* program, const QByteArray& instance,
                  const QTemporaryDir& home, bool measureMemory)
{
    const auto start = Clock::now();
    const pid_t pid = spawn(program, home.path());
    Launch launch;
    while (Clock::now() - start < std::chrono::seconds(20)) {
        if (docked(c, panel, instance)) {
            launch.ms = milliseconds(Clock::now() - start);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (measureMemory) {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        launch.idleKiB = residentKiB(pid);
    }
    stop(pid);
    // The socket of the icon just gone is removed before the next program starts.
    while (docked(c, panel, instance))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return launch;
}

void BM_Launch(benchmark::State& state)
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    xcb_connection_t* c = connection->get();
    xcb_window_t panel = 0;
    for (int i = 0; i < 2000 && !panel; ++i) {
        panel = findPanel(c, connection->root());
        if (!panel)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!panel) {
        state.SkipWithError("no trayer panel");
        return;
    }
    std::vector<double> ours, plain;
    Launch oursMemory, plainMemory;
    QTemporaryDir oursHome, plainHome;
    for (const QTemporaryDir* home : {&oursHome, &plainHome})
        QFile::setPermissions(home->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (auto _ : state) {
        // One unmeasured start each: the page cache and the font cache are warm for both.
        launchOnce(c, panel, VORLITH_PROGRAM, "vorlith", oursHome, false);
        launchOnce(c, panel, VORLITH_PLAIN_TRAY, "plain_tray", plainHome, false);
        for (int round = 0; round < 7; ++round) {
            const bool memory = round == 0;
            const Launch a = launchOnce(c, panel, VORLITH_PROGRAM, "vorlith", oursHome, memory);
            const Launch b = launchOnce(c, panel, VORLITH_PLAIN_TRAY, "plain_tray", plainHome, memory);
            ours.push_back(a.ms);
            plain.push_back(b.ms);
            if (memory) {
                oursMemory = a;
                plainMemory = b;
            }
        }
        state.SetIterationTime(median(ours) / 1000);
    }
    const double baseline = median(plain);
    state.counters["launch_ms"] = median(ours);
    state.counters["plain_tray_ms"] = baseline;
    state.counters["ratio_vs_plain_tray"] = baseline > 0 ? median(ours) / baseline : 0;
    state.counters["idle_rss_kib"] = double(oursMemory.idleKiB);
    state.counters["plain_tray_rss_kib"] = double(plainMemory.idleKiB);
    state.counters["idle_rss_vs_plain_tray"] =
        plainMemory.idleKiB > 0 ? double(oursMemory.idleKiB) / double(plainMemory.idleKiB) : 0;
}

BENCHMARK(BM_Launch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    test::XvfbServer xvfb;
    std::string configuration = "monitors=1";
    if (const char* extra = std::getenv("VORLITH_XVFB"); extra && *extra)
        configuration += std::string(",") + extra;
    if (!startXvfb(xvfb, test::XvfbOptions::parse(configuration), "bench_launch"))
        return EXIT_FAILURE;
    const pid_t trayer = fork();
    if (trayer == 0) {
        execlp("trayer", "trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height", "24",
               "--transparent", "false", static_cast<char*>(nullptr));
        _exit(127);
    }
    const int result = runBenchmarks(argc, argv);
    stop(trayer);
    return result;
}
