// From the capture request to the dimmed frozen image on the screen, against the plain Qt way.
//
// A 7680 x 2160 screen split into two 3840 x 2160 monitors with a flat root colour. One
// iteration of ours: CaptureService::capture(), the overlay set prepared (its windows made once
// and reused), a new content per display that paints the frozen image dimmed as the editor
// does (EditorPicture), the overlays presented; it ends when a pixel read back from the
// server's root shows the dimmed frozen colour on both monitors. The baseline, measured the same way in the
// same iteration: QScreen::grabWindow of each screen, then a new full-screen QWidget per screen
// that paints its image and the dimming. The first capture of each side is not counted (second
// and later captures). Reports overlay_ms (median), plain_qt_ms and ratio_vs_plain_qt.
#include "app/capture/CaptureService.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/EditorPicture.h"
#include "platform/x11/X11CapturePlatform.h"
#include "platform/x11/X11FloatingWindows.h"
#include "platform/x11/XcbConnection.h"
#include "support/TaskOutcome.h"
#include "support/TestSupport.h"
#include "X11Bench.h"

#include <QApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using vorlith::bench::Clock;
using vorlith::bench::median;
using vorlith::bench::milliseconds;
constexpr QRgb rootColour = 0xffc08040;
constexpr int dimAlpha = 115;

QRgb dimmed(QRgb colour)
{
    const auto channel = [](int c) { return (c * (255 - dimAlpha) + 127) / 255; };
    return qRgb(channel(qRed(colour)), channel(qGreen(colour)), channel(qBlue(colour)));
}

bool near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 && std::abs(qBlue(a) - qBlue(b)) <= 3;
}

// Reads single pixels of the root on a connection of its own, as another program would see them.
class RootProbe {
public:
    RootProbe() : m_xcb(vorlith::XcbConnection::open()) {}
    bool isValid() const { return m_xcb != nullptr; }

    QRgb pixel(QPoint at) const
    {
        xcb_connection_t* c = m_xcb->get();
        vorlith::XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_xcb->root(), int16_t(at.x()), int16_t(at.y()), 1, 1, ~0u),
            nullptr));
        if (!reply || xcb_get_image_data_length(reply.get()) < 4)
            return 0;
        const uint8_t* p = xcb_get_image_data(reply.get());
        return qRgb(p[2], p[1], p[0]);
    }

    // Spins the event loop until every point shows the colour; false after the timeout.
    bool waitFor(const std::vector<QPoint>& points, QRgb colour, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (std::all_of(points.begin(), points.end(), [&](const QPoint& p) { return near(pixel(p), colour); }))
                return true;
        }
        return false;
    }

private:
    std::unique_ptr<vorlith::XcbConnection> m_xcb;
};

// Stands in for the display's editor: its picture, dimmed all over as before a selection.
class DimmedFrozenView final : public QWidget {
public:
    DimmedFrozenView(const QImage& image, vorlith::Size logicalSize)
        : m_picture(image, logicalSize, QColor(0, 0, 0, dimAlpha))
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        m_picture.paint(painter, vorlith::EditorPicture::Layers{.dimmed = true});
    }

private:
    vorlith::EditorPicture m_picture;
};

// The plain way: a new top-level per screen that draws its grabbed image and the dimming.
class PlainOverlay final : public QWidget {
public:
    explicit PlainOverlay(QImage image)
        : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_image(std::move(image))
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.drawImage(QRectF(rect()), m_image);
        painter.fillRect(rect(), QColor(0, 0, 0, dimAlpha));
    }

private:
    QImage m_image;
};

std::vector<QPoint> probePoints()
{
    std::vector<QPoint> points;
    for (QScreen* screen : QGuiApplication::screens())
        points.push_back(screen->geometry().center()); // native corners: scale 1 here
    return points;
}

void BM_CaptureOverlayVsPlainQt(benchmark::State& state)
{
    auto floating = std::make_shared<vorlith::X11FloatingWindows>();
    vorlith::CaptureService service(std::make_shared<vorlith::X11CapturePlatform>());
    vorlith::CaptureOverlaySet set(floating);
    RootProbe probe;
    const std::vector<QPoint> points = probePoints();
    if (!probe.isValid() || !probe.waitFor(points, rootColour)) {
        state.SkipWithError("the root does not show its colour");
        return;
    }

    std::vector<double> captureMs;
    const auto ours = [&]() -> double {
        const auto start = Clock::now();
        auto captured = vorlith::test::finish(service.capture());
        if (!captured.value)
            return -1;
        captureMs.push_back(milliseconds(Clock::now() - start));
        const std::vector<vorlith::FrozenDisplay>& frames = *captured.value;
        std::vector<vorlith::OverlayDisplay> displays;
        for (const vorlith::FrozenDisplay& frame : frames)
            displays.push_back(vorlith::OverlayDisplay::of(frame));
        const std::vector<vorlith::CaptureOverlayWindow*>& windows = set.prepare(displays);
        for (std::size_t i = 0; i < windows.size(); ++i)
            windows[i]->setContent(new DimmedFrozenView(frames[i].image.pixels(), frames[i].geometry.size));
        set.present(std::nullopt);
        const bool shown = probe.waitFor(points, dimmed(rootColour));
        const double elapsed = milliseconds(Clock::now() - start);
        for (QWidget* content : set.finish())
            content->deleteLater();
        return shown && probe.waitFor(points, rootColour) ? elapsed : -1;
    };
    const auto plain = [&]() -> double {
        const auto start = Clock::now();
        std::vector<std::unique_ptr<PlainOverlay>> overlays;
        for (QScreen* screen : QGuiApplication::screens()) {
            overlays.push_back(std::make_unique<PlainOverlay>(screen->grabWindow(0).toImage()));
            overlays.back()->setGeometry(screen->geometry());
            overlays.back()->show();
        }
        const bool shown = probe.waitFor(points, dimmed(rootColour));
        const double elapsed = milliseconds(Clock::now() - start);
        overlays.clear();
        return shown && probe.waitFor(points, rootColour) ? elapsed : -1;
    };

    // The first of each is not counted: windows, backing stores and shared segments are made.
    const double firstOurs = ours();
    const double firstPlain = plain();
    if (firstOurs < 0 || firstPlain < 0) {
        state.SkipWithError("the overlays did not show");
        return;
    }
    captureMs.clear();
    std::vector<double> oursMs, plainMs;
    for (auto _ : state) {
        const double a = ours();
        const double b = plain();
        if (a < 0 || b < 0) {
            state.SkipWithError("the overlays did not show");
            return;
        }
        oursMs.push_back(a);
        plainMs.push_back(b);
        state.SetIterationTime(a / 1000);
    }
    state.counters["overlay_ms"] = median(oursMs);
    state.counters["plain_qt_ms"] = median(plainMs);
    state.counters["ratio_vs_plain_qt"] = median(oursMs) / median(plainMs);
    state.counters["capture_ms"] = median(captureMs);
    state.counters["first_overlay_ms"] = firstOurs;
    state.counters["windows_made"] = set.windowsMade();
}

BENCHMARK(BM_CaptureOverlayVsPlainQt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

} // namespace

int main(int argc, char** argv)
{
    vorlith::test::XvfbServer xvfb;
    if (!vorlith::bench::startTwoMonitorXvfb(xvfb, "bench_capture_overlay"))
        return EXIT_FAILURE;
    int result = EXIT_SUCCESS;
    {
        int qtArgc = 1;
        QApplication app(qtArgc, argv);
        xvfb.run(QStringLiteral("xsetroot"), {QStringLiteral("-solid"), QColor(rootColour).name()});
        result = vorlith::bench::runBenchmarks(argc, argv);
    }
    return result;
}
