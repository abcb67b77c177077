#pragma once

// What the X11 capture tests share: windows of ours and of another process with known colours,
// the private server's monitors, and conversions between native pixels and Qt's geometry.

#include "app/capture/CaptureService.h"
#include "app/capture/FrozenDisplay.h"
#include "core/Geometry.h"
#include "support/XvfbServer.h"

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QProcess>
#include <QRect>
#include <QWidget>

#include <vector>

class QScreen;

namespace vorlith::test {

const XvfbOptions& options();
// Names saved images after the server's configuration.
QString configName();

constexpr QRgb orange = 0xffff8000;
constexpr QRgb magenta = 0xffff00ff;
constexpr QRgb cyan = 0xff00c0c0;

// A flat-coloured top-level window of ours.
class ColourWindow : public QWidget {
public:
    explicit ColourWindow(const QColor& colour, Qt::WindowFlags flags = {}) : QWidget(nullptr, flags)
    {
        setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, colour);
        setPalette(palette);
    }
};

// A top-level window of ours filled with a diagonal gradient, so that no two rows are alike.
class GradientWindow : public QWidget {
public:
    GradientWindow(const QColor& from, const QColor& to, Qt::WindowFlags flags = {})
        : QWidget(nullptr, flags), m_from(from), m_to(to)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_from;
    QColor m_to;
};

// Two windows of ours side by side near a screen's top-left corner: `hidden` is one a capture
// must leave out, `kept` one it includes.
struct OwnWindowPair {
    ColourWindow hidden{QColor::fromRgb(magenta)};
    ColourWindow kept{QColor::fromRgb(cyan)};
    // Places both and waits until the screen shows them.
    bool show(QScreen* screen);
};

// A window of another process (tests/platform/ColourWindow.cpp) at native coordinates.
class ForeignWindow {
public:
    ForeignWindow(const QRect& native, QRgb colour);
    ~ForeignWindow();
    // Waits until it is mapped and exposed.
    bool ready();
    quint32 id() const { return m_id; }
    qint32 pid() const { return qint32(m_process.processId()); }
    QRect nativeRect() const { return QRect(m_origin, m_size); }

private:
    QProcess m_process;
    QSize m_size;
    quint32 m_id = 0;
    QPoint m_origin;
};

QRect nativeMonitor(int index);
QScreen* screenAt(int index);
// The frame of the screen with this logical geometry.
const FrozenDisplay* frameOf(const std::vector<FrozenDisplay>& frames, QScreen* screen);
// A window's rectangle in native pixels of the root, from its logical geometry.
QRect nativeGeometry(const QWidget& window);
// Reads one pixel of the root through Qt, to wait until a window has been drawn.
QRgb rootPixel(const QPoint& native);
bool shownAndDrawn(QWidget& window, QRgb colour);
std::vector<FrozenDisplay> captureAll(CaptureService& service);
// A rectangle in native pixels of the root as local points of a frame.
Rect localPoints(const QRect& native, const QRect& monitor, double scale);
bool containsRect(const Rect& outer, const Rect& inner);
// The first pixel whose colour differs, or (-1, -1).
QPoint firstDifference(const QImage& a, const QImage& b);

} // namespace vorlith::test
