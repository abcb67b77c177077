#pragma once

#include <QImage>
#include <QRect>
#include <QThreadPool>

#include <cstddef>
#include <memory>
#include <optional>

namespace vorlith {

class XcbConnection;

// Reads rectangles of the root window through MIT-SHM into bitmaps: the server writes the
// pixels straight into a shared segment kept from one grab to the next, in bands, and the copy
// of each band into the image (with its alpha made opaque) runs on a small pool while the
// server fills the next one. Never includes the cursor: GetImage reads the framebuffer only.
//
// Has its own connection; use it from one thread at a time.
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

private:
    bool checkServer();
    bool ensureSegment(std::size_t bytes);
    void releaseSegment();

    std::unique_ptr<XcbConnection> m_connection;
    std::optional<bool> m_available;
    int m_shmId = -1;
    void* m_address = nullptr;
    std::size_t m_size = 0;
    uint32_t m_segment = 0;
    QThreadPool m_copyPool;
};

} // namespace vorlith
