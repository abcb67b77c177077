#pragma once

#include <QImage>
#include <QRect>
#include <QThreadPool>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class XcbConnection;

// Reads rectangles of the root window through MIT-SHM into bitmaps without copying them: the
// server writes the pixels into a shared segment that then becomes the image's own memory.
//
// Two ways to have the server write them:
// - `Method::Composite` (preferred): the segment is made a 32-bit pixmap and the root is
//   composited into it with RENDER. One pass on the server's side, and its pixels come out
//   opaque, so ours never touches them.
// - `Method::GetImage`: `shm_get_image` in bands; the padding byte of each pixel is then set
//   by a pool while the server fills the next band. Used where the server has no shared
//   pixmaps or no RENDER, or when a composite fails.
// When an image is released its segment comes back for the next grab, so only a grab that
// finds every segment still in use pays for a new one. Never includes the cursor: both read
// the framebuffer, from which the server takes a drawn cursor out first.
//
// Has its own connection; call grab() from one thread at a time. Images may outlive it.
class X11ScreenGrabber {
public:
    enum class Method { Composite, GetImage };

    // `preferred` is used when the server allows it; tests force `Method::GetImage`.
    explicit X11ScreenGrabber(Method preferred = Method::Composite);
    ~X11ScreenGrabber();
    X11ScreenGrabber(const X11ScreenGrabber&) = delete;
    X11ScreenGrabber& operator=(const X11ScreenGrabber&) = delete;

    // Whether the server shares memory with us and its root holds 32-bit pixels of 8-bit
    // red, green and blue channels. Decided on the first call.
    bool isAvailable();
    // The way grabs are made now; meaningful once isAvailable() is true.
    Method method() const { return m_method; }

    // The pixels of the root inside rect (native pixels, clipped to the root) in the bitmap
    // format; null when the grab failed.
    QImage grab(const QRect& rect);

    // Free segments kept for later grabs; more are let go.
    static constexpr std::size_t keptSpareSegments = 4;

    struct Segment;

private:
    bool checkServer();
    bool prepareComposite();
    QRect rootRect();
    bool grabComposited(const QRect& rect, const Segment& segment);
    bool grabInBands(const QRect& rect, const Segment& segment);
    std::shared_ptr<Segment> freeSegment(std::size_t bytes);
    std::shared_ptr<Segment> newSegment(std::size_t bytes);
    void releaseSpareSegments();

    std::unique_ptr<XcbConnection> m_connection;
    std::optional<bool> m_available;
    Method m_method;
    uint32_t m_rootPicture = 0;
    uint32_t m_opaqueFormat = 0;
    std::vector<std::shared_ptr<Segment>> m_segments;
    QThreadPool m_copyPool;
};

} // namespace vorlith
