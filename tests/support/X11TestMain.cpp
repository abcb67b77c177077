// The main of every test program labelled x11: it starts a private Xvfb configured by
// VORLITH_XVFB (see XvfbOptions), then one QApplication on the xcb platform connected to it.
#include "support/TestApplication.h"
#include "support/X11Environment.h"
#include "support/XvfbServer.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>

int main(int argc, char** argv)
{
    using namespace vorlith::test;
    if (isListingOnly(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return runAllTests(argc, argv);
    }

    auto server = std::make_unique<XvfbServer>();
    const XvfbOptions options = XvfbOptions::parse(qEnvironmentVariable("VORLITH_XVFB", "monitors=1").toStdString());
    if (!server->start(options)) {
        std::fprintf(stderr, "test setup: could not start Xvfb with the requested options\n");
        return EXIT_FAILURE;
    }
    qputenv("DISPLAY", server->display().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("XDG_SESSION_TYPE");
    int result = EXIT_FAILURE;
    {
        QApplication app(argc, argv);
        X11Environment::setServer(server.get());
        if (checkTestFonts())
            result = runAllTests(argc, argv);
        X11Environment::setServer(nullptr);
    }
    server->stop();
    return result;
}
