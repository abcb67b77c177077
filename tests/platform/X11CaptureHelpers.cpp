#include "X11CaptureHelpers.h"

#include "app/capture/CaptureFailure.h"
#include "support/TaskOutcome.h"
#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

namespace vorlith::test {

ForeignWindow::ForeignWindow(const QRect& native, QRgb colour) : m_size(native.size())
{
    m_process.start(QStringLiteral(VORLITH_COLOUR_WINDOW),
                    {QString::number(native.x()), QString::number(native.y()), QString::number(native.width()),
                     QString::number(native.height()), QString::number(colour & 0xffffff, 16)});
}

ForeignWindow::~ForeignWindow()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

bool ForeignWindow::ready()
{
    const bool ok = runUntil([&] { return m_process.canReadLine(); }, 10s);
    if (!ok) {
        ADD_FAILURE() << "colour_window: state " << m_process.state() << ", exit " << m_process.exitCode()
                      << ", error " << m_process.error() << ", stderr "
                      << m_process.readAllStandardError().toStdString();
        return false;
    }
    const QList<QByteArray> parts = m_process.readLine().trimmed().split(' ');
    if (parts.size() != 3)
        return false;
    m_id = parts[0].toUInt();
    m_origin = QPoint(parts[1].toInt(), parts[2].toInt());
    return true;
}

void GradientWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QLinearGradient gradient(0, 0, width(), height());
    gradient.setColorAt(0, m_from);
    gradient.setColorAt(1, m_to);
    painter.fillRect(rect(), gradient);
}

const XvfbOptions& options()
{
    return X11Environment::server()->options();
}

QString configName()
{
    const XvfbOptions& o = options();
    return QStringLiteral("m%1-s%2%3").arg(o.monitors).arg(o.scale).arg(o.windowManager ? "-wm" : "");
}

bool OwnWindowPair::show(QScreen* screen)
{
    const QPoint origin = screen->geometry().topLeft();
    hidden.setGeometry(QRect(origin + QPoint(100, 120), QSize(240, 160)));
    kept.setGeometry(QRect(origin + QPoint(420, 120), QSize(240, 160)));
    hidden.show();
    kept.show();
    return shownAndDrawn(hidden, magenta) && shownAndDrawn(kept, cyan);
}

QRect nativeMonitor(int index)
{
    return QRect(index * options().width, 0, options().width, options().height);
}

QScreen* screenAt(int index)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    return index < screens.size() ? screens[index] : nullptr;
}

// The frame of the screen with this logical geometry.
const FrozenDisplay* frameOf(const std::vector<FrozenDisplay>& frames, QScreen* screen)
{
    for (const FrozenDisplay& frame : frames)
        if (frame.screenFrame == toRect(QRectF(screen->geometry())))
            return &frame;
    return nullptr;
}

// A window's rectangle in native pixels of the root, from its logical geometry.
QRect nativeGeometry(const QWidget& window)
{
    QScreen* screen = window.screen();
    const double scale = screen->devicePixelRatio();
    const QRect logical = window.geometry();
    const QPoint screenOrigin = screen->geometry().topLeft(); // Qt keeps the native corner
    const QPoint offset = logical.topLeft() - screenOrigin;
    return QRect(screenOrigin + QPoint(qRound(offset.x() * scale), qRound(offset.y() * scale)),
                 QSize(qRound(logical.width() * scale), qRound(logical.height() * scale)));
}

// Reads one pixel of the root through Qt, to wait until a window has been drawn.
QRgb rootPixel(const QPoint& native)
{
    for (QScreen* screen : QGuiApplication::screens()) {
        const QPoint local = native - screen->geometry().topLeft();
        const QImage image = screen->grabWindow(0).toImage();
        if (QRect(QPoint(0, 0), image.size()).contains(local))
            return image.pixel(local) | 0xff000000u;
    }
    return 0;
}

bool shownAndDrawn(QWidget& window, QRgb colour)
{
    return runUntil([&] {
        return window.isVisible() && window.windowHandle()->isExposed() &&
               rootPixel(nativeGeometry(window).center()) == (colour | 0xff000000u);
    }, 10s);
}

std::vector<FrozenDisplay> captureAll(CaptureService& service)
{
    auto outcome = finish(service.capture(), 20s);
    EXPECT_TRUE(outcome.finished);
    if (const auto failure = outcome.errorAs<CaptureFailure>())
        ADD_FAILURE() << "capture failed: " << failure->what();
    else if (outcome.error)
        ADD_FAILURE() << "capture threw";
    return outcome.value ? std::move(*outcome.value) : std::vector<FrozenDisplay>{};
}

// A rectangle in native pixels of the root as local points of a frame.
Rect localPoints(const QRect& native, const QRect& monitor, double scale)
{
    return Rect((native.x() - monitor.x()) / scale, (native.y() - monitor.y()) / scale, native.width() / scale,
                native.height() / scale);
}

bool containsRect(const Rect& outer, const Rect& inner)
{
    return outer.containsRect(inner);
}

// The first pixel whose colour differs, or (-1, -1).
QPoint firstDifference(const QImage& a, const QImage& b)
{
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if ((a.pixel(x, y) | 0xff000000u) != (b.pixel(x, y) | 0xff000000u))
                return QPoint(x, y);
    return QPoint(-1, -1);
}

} // namespace vorlith::test
