#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>
#include <sys/types.h>

namespace vorlith::test {

// What the private X server looks like. Parsed from strings such as
// "monitors=2,scale=1.5,wm=openbox,compositor=1,width=1920,height=1080".
struct XvfbOptions {
    int monitors = 1;
    int width = 1920;  // of each monitor, in pixels
    int height = 1080;
    double scale = 1.0;        // written to Xft.dpi as 96 x scale
    bool windowManager = false; // openbox
    bool compositor = false;    // xcompmgr
    // Extensions the server runs without, to reach the fallbacks ("without=RANDR+MIT-SHM").
    std::vector<std::string> without;

    bool lacks(const std::string& extension) const;

    static XvfbOptions parse(const std::string& text);
};

// A private `Xvfb -noreset` on a free display, with the monitors, scale, window manager and
// compositor the options ask for. Stops everything it started.
class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool start(const XvfbOptions& options);
    void stop();

    bool isRunning() const { return m_xvfb > 0; }
    // ":N"
    QString display() const { return m_display; }
    const XvfbOptions& options() const { return m_options; }

    // Runs a command with DISPLAY set to this server; returns its exit status and stdout.
    int run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
            const QByteArray& input = {}) const;

private:
    pid_t spawn(const QString& program, const QStringList& arguments, int displayFd = -1) const;
    bool configureMonitors();
    bool waitForWindowManager();
    bool waitForCompositor();

    XvfbOptions m_options;
    QString m_display;
    pid_t m_xvfb = -1;
    pid_t m_wm = -1;
    pid_t m_compositor = -1;
};

} // namespace vorlith::test
