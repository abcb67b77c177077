#include "platform/x11/X11ScreenGrabber.h"

#include "platform/x11/XcbConnection.h"
#include "rendering/BitmapFormat.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <vector>

namespace vorlith {

namespace {

// Enough bands that the server's writing and our copying overlap; each stays megabytes long.
constexpr int bandCount = 8;
constexpr int minimumBandRows = 64;
constexpr int maximumCopyThreads = 4;

bool isPlainTrueColor(const xcb_setup_t* setup, const xcb_screen_t* screen)
{
    if (Q_BYTE_ORDER != Q_LITTLE_ENDIAN || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
        return false;
    if (screen->root_depth != 24 && screen->root_depth != 32)
        return false;
    bool thirtyTwoBits = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f))
        if (f.data->depth == screen->root_depth)
            thirtyTwoBits = f.data->bits_per_pixel == 32;
    if (!thirtyTwoBits)
        return false;
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen->root_visual)
                return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000 &&
                       v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff;
        }
    }
    return false;
}

// Screen pixels are opaque whatever the padding byte holds.
void copyOpaque(const uchar* source, std::size_t sourceStride, uchar* target, std::size_t targetStride, int width,
                int rows)
{
    for (int row = 0; row < rows; ++row) {
        const auto* s = reinterpret_cast<const uint32_t*>(source + row * sourceStride);
        auto* t = reinterpret_cast<uint32_t*>(target + row * targetStride);
        for (int i = 0; i < width; ++i)
            t[i] = s[i] | 0xff000000u;
    }
}

} // namespace

X11ScreenGrabber::X11ScreenGrabber()
{
    m_copyPool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, maximumCopyThreads));
    m_copyPool.setObjectName(QStringLiteral("vorlith-screen-copy"));
}

X11ScreenGrabber::~X11ScreenGrabber()
{
    m_copyPool.waitForDone();
    releaseSegment();
}

bool X11ScreenGrabber::isAvailable()
{
    if (!m_available)
        m_available = checkServer();
    return *m_available;
}

bool X11ScreenGrabber::checkServer()
{
    m_connection = XcbConnection::open();
    if (!m_connection || !m_connection->hasExtension(&xcb_shm_id))
        return false;
    xcb_connection_t* c = m_connection->get();
    XcbReply<xcb_shm_query_version_reply_t> version(xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
    return version && isPlainTrueColor(xcb_get_setup(c), m_connection->screen());
}

bool X11ScreenGrabber::ensureSegment(std::size_t bytes)
{
    if (m_address && m_size >= bytes)
        return true;
    releaseSegment();
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return false;
    void* address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    xcb_connection_t* c = m_connection->get();
    const xcb_shm_seg_t segment = xcb_generate_id(c);
    XcbReply<xcb_generic_error_t> error(xcb_request_check(c, xcb_shm_attach_checked(c, segment, id, 0)));
    // Marked for removal now: the kernel frees it once both sides have detached, even if we die.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        shmdt(address);
        return false;
    }
    m_shmId = id;
    m_address = address;
    m_size = bytes;
    m_segment = segment;
    return true;
}

void X11ScreenGrabber::releaseSegment()
{
    if (!m_address)
        return;
    if (m_connection) {
        xcb_shm_detach(m_connection->get(), m_segment);
        xcb_flush(m_connection->get());
    }
    shmdt(m_address);
    m_address = nullptr;
    m_size = 0;
    m_shmId = -1;
}

QImage X11ScreenGrabber::grab(const QRect& requested)
{
    if (!isAvailable())
        return {};
    const xcb_screen_t* screen = m_connection->screen();
    const QRect rect = requested.intersected(QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels));
    if (rect.isEmpty())
        return {};
    const std::size_t stride = std::size_t(rect.width()) * 4;
    if (!ensureSegment(stride * rect.height()))
        return {};

    xcb_connection_t* c = m_connection->get();
    const int rowsPerBand = std::max(minimumBandRows, (rect.height() + bandCount - 1) / bandCount);
    struct Band {
        int top;
        int rows;
        xcb_shm_get_image_cookie_t cookie;
    };
    std::vector<Band> bands;
    for (int top = 0; top < rect.height(); top += rowsPerBand) {
        const int rows = std::min(rowsPerBand, rect.height() - top);
        bands.push_back({top, rows,
                         xcb_shm_get_image(c, screen->root, int16_t(rect.x()), int16_t(rect.y() + top),
                                           uint16_t(rect.width()), uint16_t(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP,
                                           m_segment, uint32_t(std::size_t(top) * stride))});
    }
    xcb_flush(c);

    QImage image(rect.size(), bitmapFormat);
    bool ok = !image.isNull();
    uchar* pixels = ok ? image.bits() : nullptr;
    const std::size_t targetStride = std::size_t(image.bytesPerLine());
    std::vector<QFuture<void>> copies;
    const auto* shared = static_cast<const uchar*>(m_address);
    for (const Band& band : bands) {
        xcb_generic_error_t* rawError = nullptr;
        XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c, band.cookie, &rawError));
        XcbReply<xcb_generic_error_t> error(rawError);
        if (!reply || error || !ok) {
            ok = false;
            continue; // every reply is still read, so none is left waiting in the connection
        }
        copies.push_back(QtConcurrent::run(&m_copyPool, copyOpaque, shared + std::size_t(band.top) * stride, stride,
                                           pixels + std::size_t(band.top) * targetStride, targetStride, rect.width(),
                                           band.rows));
    }
    for (QFuture<void>& copy : copies)
        copy.waitForFinished();
    if (!ok)
        return {};
    image.setColorSpace(QColorSpace(QColorSpace::SRgb));
    return image;
}

} // namespace vorlith
