#pragma once

#include <QImage>
#include <QRect>
#include <QThreadPool>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class XcbConnection;

// Reads rectangles of the root window through MIT-SHM into bitmaps without copying them: the
// server writes the pixels, in bands, into a shared segment that then becomes the image's own
// memory, and the pool makes each band opaque while the server fills the next. When the image
// is released its segment comes back for the next grab, so only a grab that finds every
// segment still in use pays for a new one. Never includes the cursor: GetImage reads the
// framebuffer only.
//
// Has its own connection; call grab() from one thread at a time. Images may outlive it.
class X11ScreenGrabber {
public:
    X11ScreenGrabber();
    ~X11ScreenGrabber();
    X11ScreenGrabber(const X11ScreenGrabber&) = delete;
    X11ScreenGrabber& operator=(const X11ScreenGrabber&) = delete;

    // Whether the server shares memory with us and its root holds 32-bit pixels of 8-bit
    // red, green and blue channels. Decided on the first call.
    bool isAvailable();

    // The pixels of the root inside rect (native pixels, clipped to the root) in the bitmap
    // format; null when the grab failed.
    QImage grab(const QRect& rect);

    // Free segments kept for later grabs; more are let go.
    static constexpr std::size_t keptSpareSegments = 4;

    struct Segment;

private:
    bool checkServer();
    std::shared_ptr<Segment> freeSegment(std::size_t bytes);
    std::shared_ptr<Segment> newSegment(std::size_t bytes);
    void releaseSpareSegments();

    std::unique_ptr<XcbConnection> m_connection;
    std::optional<bool> m_available;
    std::vector<std::shared_ptr<Segment>> m_segments;
    QThreadPool m_copyPool;
};

} // namespace vorlith
