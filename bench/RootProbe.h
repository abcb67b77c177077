#pragma once

// Reading the screen back as another program sees it: single root pixels over a connection of
// the benchmark's own, waited for while the event loop runs.

#include "X11Bench.h"
#include "platform/x11/XcbConnection.h"

#include <QCoreApplication>
#include <QPoint>
#include <QRgb>

#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <memory>
#include <vector>

namespace vorlith::bench {

// Channels within 3 of each other.
inline bool nearRgb(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 3 && std::abs(qGreen(a) - qGreen(b)) <= 3 && std::abs(qBlue(a) - qBlue(b)) <= 3;
}

// Reads single pixels of the root on a connection of its own, as another program would see them.
class RootProbe {
public:
    RootProbe() : m_xcb(XcbConnection::open()) {}
    bool isValid() const { return m_xcb != nullptr; }

    QRgb pixel(QPoint at) const
    {
        xcb_connection_t* c = m_xcb->get();
        XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
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
            if (std::all_of(points.begin(), points.end(), [&](const QPoint& p) { return nearRgb(pixel(p), colour); }))
                return true;
        }
        return false;
    }

    // The same for one point asked again at every turn (a window the window manager may still
    // be moving).
    bool waitFor(const std::function<QPoint()>& where, QRgb colour,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (nearRgb(pixel(where()), colour))
                return true;
        }
        return false;
    }

private:
    std::unique_ptr<XcbConnection> m_xcb;
};

} // namespace vorlith::bench
