#include "app/capture/CaptureService.h"
#include "app/shell/RecoveryStore.h"
#include "platform/X11CaptureHelpers.h"
#include "platform/x11/X11CapturePlatform.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// Something worth compressing: a gradient with hard-edged shapes, as screens show.
class Scenery : public GradientWindow {
public:
    Scenery() : GradientWindow(QColor(20, 90, 200), QColor(250, 200, 40), Qt::FramelessWindowHint) {}

protected:
    void paintEvent(QPaintEvent* event) override
    {
        GradientWindow::paintEvent(event);
        QPainter painter(this);
        painter.setPen(QPen(Qt::white, 3));
        for (int i = 0; i < 12; ++i)
            painter.drawRoundedRect(QRect(20 + i * 45, 30 + (i % 3) * 60, 40, 50), 8, 8);
        painter.fillRect(QRect(width() / 2, height() / 2, 120, 80), QColor(255, 0, 128));
    }
};

} // namespace

// Frames from the real grab (shared-memory images) are compacted, the document's display
// keeps its bitmap, the others decode to exactly what was grabbed.
TEST(RecoveryStoreX11, GrabbedFramesCompactAndDecodeToWhatWasOnScreen)
{
    std::vector<std::unique_ptr<Scenery>> scenery;
    QSet<quint32> ours;
    for (int i = 0; i < options().monitors; ++i) {
        auto view = std::make_unique<Scenery>();
        QScreen* screen = screenAt(i);
        view->setGeometry(QRect(screen->geometry().topLeft() + QPoint(40, 40), QSize(600, 400)));
        view->show();
        ours.insert(quint32(view->winId()));
        scenery.push_back(std::move(view));
    }
    for (auto& view : scenery)
        ASSERT_TRUE(runUntil([&] { return rootPixel(nativeGeometry(*view).center() - QPoint(5, 5)) != 0xff000000u; }, 10s));

    CaptureService service(std::make_shared<X11CapturePlatform>());
    service.setIncludedOwnWindowIDs(ours);
    const std::vector<FrozenDisplay> frames = captureAll(service);
    ASSERT_EQ(int(frames.size()), options().monitors);

    RecoveredCapture capture{.frames = frames,
                             .displayID = frames[1].id,
                             .document = CaptureDocument(QUuid::createUuid(), Rect{10, 10, 100, 80},
                                                         DocumentOrigin::screenCapture, {50, qint64(64) << 20})};
    auto budget = std::make_shared<ImageResourceStore>();
    RecoveryStore store;
    QElapsedTimer clock;
    clock.start();
    store.invalidateCompaction();
    store.setCurrent(capture);
    store.compactBackgroundDisplays(capture, budget);
    ASSERT_TRUE(store.isCompacting()) << "the default budget holds two monitors";
    ASSERT_TRUE(runUntil([&] { return !store.isCompacting() && budget->work().isEmpty(); }, 20s));
    const qint64 compactMs = clock.elapsed();

    const std::vector<FrozenDisplay>& kept = store.current()->frames;
    ASSERT_TRUE(kept[0].image.isCompacted());
    ASSERT_FALSE(kept[1].image.isCompacted());
    EXPECT_EQ(kept[1].image.pixels().cacheKey(), frames[1].image.pixels().cacheKey());

    const QImage grabbed = frames[0].image.pixels();
    clock.restart();
    const QImage reopened = kept[0].image.pixels();
    const qint64 decodeMs = clock.elapsed();
    EXPECT_EQ(reopened, grabbed);
    EXPECT_EQ(reopened.format(), grabbed.format());
    EXPECT_EQ(reopened.colorSpace(), grabbed.colorSpace());
    EXPECT_EQ(kept[0].image.bitmapBytes(), qint64(grabbed.bytesPerLine()) * grabbed.height());
    saveTestImage(reopened, QStringLiteral("recovery-%1-compacted-display1").arg(configName()));

    RecordProperty("compaction_ms", int(compactMs));
    RecordProperty("decode_ms", int(decodeMs));
    RecordProperty("png_bytes", int(kept[0].image.encoded().size()));
    std::printf("compaction %lld ms, decode %lld ms, %lld of %lld bytes\n", compactMs, decodeMs,
                qint64(kept[0].image.encoded().size()), kept[0].image.bitmapBytes());
}
