#include "app/shell/WarmStart.h"

#include "app/base/InterfaceFonts.h"
#include "app/editor/CaptureOverlaySet.h"
#include "app/editor/CompositeRenderer.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/EditorHostView.h"
#include "app/output/PngEncoder.h"
#include "core/Async.h"
#include "core/SharedWorkQueues.h"
#include "platform/CapturePlatform.h"
#include "rendering/Bitmap.h"
#include "rendering/FontFactory.h"

#include <QBackingStore>
#include <QFontMetricsF>
#include <QPainter>
#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

#include <cmath>

namespace vorlith {

WarmStart::WarmStart(CaptureOverlaySet& overlays, std::shared_ptr<CapturePlatform> platform,
                     std::function<bool()> mayRun, QObject* parent)
    : QObject(parent), m_overlays(overlays), m_platform(std::move(platform)), m_mayRun(std::move(mayRun))
{
    m_turn.setSingleShot(true);
    connect(&m_turn, &QTimer::timeout, this, &WarmStart::runStep);
}

WarmStart::~WarmStart()
{
    m_grab.cancel();
}

std::vector<OverlayDisplay> WarmStart::displays() const
{
    // As OverlayDisplay::of reads a frozen display: the logical frame, and the monitor's own
    // pixels from its native corner.
    std::vector<OverlayDisplay> displays;
    for (const ScreenInfo& screen : m_platform->screens()) {
        if (!screen.displayID)
            continue;
        const QRectF frame = toQRectF(screen.frame);
        const Rect bounds = m_platform->displayBounds(*screen.displayID);
        const QPoint origin(int(std::lround(frame.x())), int(std::lround(frame.y())));
        const QSize pixels(clampToInt(bounds.size.width), clampToInt(bounds.size.height));
        if (pixels.isEmpty())
            continue;
        displays.push_back(OverlayDisplay{*screen.displayID, frame.toAlignedRect(), QRect(origin, pixels), screen.scale});
    }
    return displays;
}

void WarmStart::start()
{
    m_grab.cancel();
    m_grab = TaskHandle();
    m_warm = false;
    m_next = 0;
    m_steps = {[this] { prepareWindows(); }, [this] { grabDisplays(); }, &WarmStart::loadFonts,
               &WarmStart::makeEditor, &WarmStart::startPools};
    scheduleNext();
}

void WarmStart::scheduleNext(int delay)
{
    m_turn.start(delay);
}

void WarmStart::runStep()
{
    if (m_grab.isRunning())
        return; // the grab schedules the next step when it ends
    if (m_next >= m_steps.size()) {
        m_warm = true;
        if (qEnvironmentVariableIsSet("VORLITH_TRACE_WARM_START"))
            qInfo("warm start done");
        return;
    }
    if (m_mayRun && !m_mayRun()) {
        scheduleNext(retryMilliseconds);
        return;
    }
    m_steps[m_next++]();
    if (!m_grab.isRunning())
        scheduleNext();
}

void WarmStart::prepareWindows()
{
    // The windows and their backing stores, each store's memory written once (black, as an
    // overlay is where nothing is drawn), so the first capture only maps windows and paints.
    for (CaptureOverlayWindow* window : m_overlays.prepare(displays())) {
        QBackingStore* store = window->backingStore();
        if (!store || store->size().isEmpty())
            continue;
        const QRect all(QPoint(0, 0), store->size());
        store->beginPaint(QRegion(all));
        if (QPaintDevice* device = store->paintDevice()) {
            QPainter painter(device);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(all, Qt::black);
        }
        store->endPaint();
    }
}

void WarmStart::grabDisplays()
{
    // Every display grabbed while the earlier images are still held: each grab takes memory of
    // its own, which the grabber keeps for the next capture once the images are dropped.
    // Nothing of ours is hidden for these grabs.
    std::vector<quint32> ours;
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (window->isVisible() && window->handle())
            ours.push_back(quint32(window->winId()));
    }
    std::vector<ScreenshotRequest> requests;
    for (const OverlayDisplay& display : displays())
        requests.push_back(ScreenshotRequest{display.id, {}, ours, display.pixels.width(), display.pixels.height()});
    QPointer<WarmStart> self(this);
    std::shared_ptr<CapturePlatform> platform = m_platform;
    m_grab = TaskHandle::spawn([self, platform, requests](std::stop_token stop) -> QCoro::Task<> {
        auto turn = nextTurn();
        co_await turn;
        std::vector<QImage> held;
        for (const ScreenshotRequest& request : requests) {
            if (stop.stop_requested() || !self)
                co_return;
            try {
                auto shot = platform->screenshot(request);
                QImage image = co_await shot;
                // Read once, as the editor's first paint will: the pages are ours from now on.
                const uchar* bits = image.constBits();
                volatile uchar sink = 0;
                for (qsizetype at = 0; at < image.sizeInBytes(); at += 4096)
                    sink = sink + bits[at];
                held.push_back(std::move(image));
            } catch (...) {
                // Only a preparation: the capture reports its own failures.
            }
        }
        held.clear();
        if (!stop.stop_requested() && self)
            self->scheduleNext();
    });
}

void WarmStart::loadFonts()
{
    const QString sample = QStringLiteral("截图 1920 × 1080 Ag");
    for (const QFont& font : {InterfaceFonts::system(12), InterfaceFonts::system(13, InterfaceFonts::Weight::semibold),
                              FontFactory::textFont(FontFactory::textSize(20), Bitmap::designDpi),
                              FontFactory::markerFont(14, Bitmap::designDpi)})
        (void)QFontMetricsF(font).horizontalAdvance(sample);
}

void WarmStart::makeEditor()
{
    // An editor builds its chrome (toolbar, strip, loupe, pill) and their icons once per
    // process: paid here rather than by the first capture.
    // A preselected window, so the pill and the size label are drawn as in a capture.
    const QSize size(640, 400);
    QImage image = Bitmap::create(size.width(), size.height());
    image.fill(Qt::white);
    CaptureGeometry geometry;
    geometry.size = Size{double(size.width()), double(size.height())};
    geometry.pixelSize = geometry.size;
    auto document = std::make_shared<EditorDocument>(
        EditorImageSource{QUuid::createUuid(), image, geometry}, SaveDraft{},
        EditorSession(QUuid::createUuid(), Rect(100, 80, 300, 200), DocumentOrigin::screenCapture));
    auto* view = new EditorHostView(document, false);
    view->setAttribute(Qt::WA_DontShowOnScreen);
    view->resize(size);
    view->positionControls();
    QImage target(size, Bitmap::format);
    view->render(&target);
    view->deleteLater();
}

void WarmStart::startPools()
{
    (void)CompositeRenderer::workers();
    (void)SharedWorkQueues::outputEncoding();
    // An encoding large enough to be cut into bands starts the encoder's threads.
    QImage image = Bitmap::create(1024, 768);
    image.fill(Qt::white);
    (void)PngEncoder::encode(image);
}

} // namespace vorlith
