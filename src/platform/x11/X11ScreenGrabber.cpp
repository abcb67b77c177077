#include "platform/x11/X11ScreenGrabber.h"

#include "platform/x11/XcbConnection.h"
#include "rendering/Bitmap.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

#include <xcb/render.h>
#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <atomic>

namespace vorlith {

// One shared memory segment, attached on both sides. Lent while an image uses it as its
// pixels; our mapping goes when the last holder (the grabber or an image) lets it go.
struct X11ScreenGrabber::Segment {
    void* address = nullptr;
    std::size_t size = 0;
    xcb_shm_seg_t id = 0;
    std::atomic<bool> lent{false};

    ~Segment()
    {
        if (address)
            shmdt(address);
    }
};

namespace {

// Enough bands that the server's writing and our pass over the pixels overlap; each stays
// megabytes long.
constexpr int bandCount = 16;
constexpr int minimumBandRows = 32;
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

// Screen pixels are opaque whatever the padding byte holds; xRGB becomes ARGB in place.
void makeOpaque(uchar* pixels, std::size_t count)
{
    auto* p = reinterpret_cast<uint32_t*>(pixels);
    for (std::size_t i = 0; i < count; ++i)
        p[i] |= 0xff000000u;
}

// The picture format RENDER gives the root's visual, when it is plain 8-bit RGB with no alpha.
xcb_render_pictformat_t rootFormat(const xcb_render_query_pict_formats_reply_t* formats, int screenNumber,
                                   xcb_visualid_t rootVisual)
{
    auto screens = xcb_render_query_pict_formats_screens_iterator(formats);
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_render_pictscreen_next(&screens);
    if (!screens.rem)
        return 0;
    for (auto d = xcb_render_pictscreen_depths_iterator(screens.data); d.rem; xcb_render_pictdepth_next(&d)) {
        for (auto v = xcb_render_pictdepth_visuals_iterator(d.data); v.rem; xcb_render_pictvisual_next(&v)) {
            if (v.data->visual == rootVisual)
                return v.data->format;
        }
    }
    return 0;
}

bool isDirect(const xcb_render_pictforminfo_t& f, int depth, bool alpha)
{
    const xcb_render_directformat_t& d = f.direct;
    return f.type == XCB_RENDER_PICT_TYPE_DIRECT && f.depth == depth && d.red_shift == 16 && d.red_mask == 0xff &&
           d.green_shift == 8 && d.green_mask == 0xff && d.blue_shift == 0 && d.blue_mask == 0xff &&
           (alpha ? d.alpha_shift == 24 && d.alpha_mask == 0xff : d.alpha_mask == 0);
}

const xcb_render_pictforminfo_t* formatInfo(const xcb_render_query_pict_formats_reply_t* formats,
                                            xcb_render_pictformat_t id)
{
    for (auto f = xcb_render_query_pict_formats_formats_iterator(formats); f.rem; xcb_render_pictforminfo_next(&f))
        if (f.data->id == id)
            return f.data;
    return nullptr;
}

// a8r8g8b8, the layout of our bitmaps.
xcb_render_pictformat_t argbFormat(const xcb_render_query_pict_formats_reply_t* formats)
{
    for (auto f = xcb_render_query_pict_formats_formats_iterator(formats); f.rem; xcb_render_pictforminfo_next(&f))
        if (isDirect(*f.data, 32, true))
            return f.data->id;
    return 0;
}

void giveBack(void* info)
{
    auto* holder = static_cast<std::shared_ptr<X11ScreenGrabber::Segment>*>(info);
    (*holder)->lent.store(false, std::memory_order_release);
    delete holder;
}

} // namespace

X11ScreenGrabber::X11ScreenGrabber(Method preferred) : m_method(preferred)
{
    m_copyPool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, maximumCopyThreads));
    m_copyPool.setObjectName(QStringLiteral("vorlith-screen-copy"));
}

X11ScreenGrabber::~X11ScreenGrabber()
{
    m_copyPool.waitForDone();
    // Closing the connection detaches every segment on the server's side; images still
    // holding one keep our mapping until they go.
    m_segments.clear();
    m_connection.reset();
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
    if (!version || !isPlainTrueColor(xcb_get_setup(c), m_connection->screen()))
        return false;
    if (m_method == Method::Composite &&
        !(version->shared_pixmaps && version->pixmap_format == XCB_IMAGE_FORMAT_Z_PIXMAP && prepareComposite()))
        m_method = Method::GetImage;
    return true;
}

// A picture of the root that reads through its children, as the screen shows them.
bool X11ScreenGrabber::prepareComposite()
{
    xcb_connection_t* c = m_connection->get();
    if (!m_connection->hasExtension(&xcb_render_id))
        return false;
    XcbReply<xcb_render_query_version_reply_t> version(
        xcb_render_query_version_reply(c, xcb_render_query_version(c, 0, 11), nullptr));
    XcbReply<xcb_render_query_pict_formats_reply_t> formats(
        xcb_render_query_pict_formats_reply(c, xcb_render_query_pict_formats(c), nullptr));
    if (!version || !formats)
        return false;
    const xcb_render_pictformat_t root =
        rootFormat(formats.get(), m_connection->screenNumber(), m_connection->screen()->root_visual);
    const xcb_render_pictforminfo_t* rootInfo = formatInfo(formats.get(), root);
    m_opaqueFormat = argbFormat(formats.get());
    if (!rootInfo || !isDirect(*rootInfo, m_connection->screen()->root_depth, false) || !m_opaqueFormat)
        return false;
    m_rootPicture = xcb_generate_id(c);
    const uint32_t includeInferiors = XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS;
    XcbReply<xcb_generic_error_t> error(xcb_request_check(
        c, xcb_render_create_picture_checked(c, m_rootPicture, m_connection->root(), root,
                                             XCB_RENDER_CP_SUBWINDOW_MODE, &includeInferiors)));
    if (error)
        m_rootPicture = 0;
    return !error;
}

std::shared_ptr<X11ScreenGrabber::Segment> X11ScreenGrabber::freeSegment(std::size_t bytes)
{
    std::shared_ptr<Segment> best;
    for (const std::shared_ptr<Segment>& segment : m_segments) {
        if (segment->size >= bytes && !segment->lent.load(std::memory_order_acquire) &&
            (!best || segment->size < best->size))
            best = segment;
    }
    return best ? best : newSegment(bytes);
}

std::shared_ptr<X11ScreenGrabber::Segment> X11ScreenGrabber::newSegment(std::size_t bytes)
{
    const int shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (shmId < 0)
        return nullptr;
    auto segment = std::make_shared<Segment>();
    segment->address = shmat(shmId, nullptr, 0);
    if (segment->address == reinterpret_cast<void*>(-1)) {
        segment->address = nullptr;
        shmctl(shmId, IPC_RMID, nullptr);
        return nullptr;
    }
    segment->size = bytes;
    xcb_connection_t* c = m_connection->get();
    segment->id = xcb_generate_id(c);
    XcbReply<xcb_generic_error_t> error(xcb_request_check(c, xcb_shm_attach_checked(c, segment->id, shmId, 0)));
    // Marked for removal now: the kernel frees it once both sides have detached, even if we die.
    shmctl(shmId, IPC_RMID, nullptr);
    if (error)
        return nullptr; // a server on another machine cannot attach it
    m_segments.push_back(segment);
    return segment;
}

void X11ScreenGrabber::releaseSpareSegments()
{
    std::size_t spare = 0;
    for (auto it = m_segments.begin(); it != m_segments.end();) {
        if ((*it)->lent.load(std::memory_order_acquire) || ++spare <= keptSpareSegments) {
            ++it;
            continue;
        }
        xcb_shm_detach(m_connection->get(), (*it)->id);
        it = m_segments.erase(it);
    }
}

QImage X11ScreenGrabber::grab(const QRect& requested)
{
    if (!isAvailable())
        return {};
    const QRect rect = requested.intersected(rootRect());
    if (rect.isEmpty())
        return {};
    releaseSpareSegments();
    const std::size_t stride = std::size_t(rect.width()) * 4;
    const std::shared_ptr<Segment> segment = freeSegment(stride * rect.height());
    if (!segment)
        return {};

    bool ok = false;
    if (m_method == Method::Composite) {
        ok = grabComposited(rect, *segment);
        if (!ok)
            m_method = Method::GetImage; // a server that refuses once will refuse again
    }
    if (!ok && !grabInBands(rect, *segment))
        return {};

    segment->lent.store(true, std::memory_order_release);
    QImage image(static_cast<uchar*>(segment->address), rect.width(), rect.height(), qsizetype(stride),
                 Bitmap::format, giveBack, new std::shared_ptr<Segment>(segment));
    Bitmap::tag(image);
    return image;
}

QRect X11ScreenGrabber::rootRect()
{
    // Asked each time: the root grows and shrinks as monitors come and go, and the size the
    // server gave when we connected would clip a monitor plugged in since.
    xcb_connection_t* c = m_connection->get();
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, m_connection->root()), nullptr));
    if (!geometry)
        return {};
    return QRect(0, 0, geometry->width, geometry->height);
}

bool X11ScreenGrabber::grabComposited(const QRect& rect, const Segment& segment)
{
    xcb_connection_t* c = m_connection->get();
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    const xcb_render_picture_t picture = xcb_generate_id(c);
    const xcb_void_cookie_t made = xcb_shm_create_pixmap_checked(
        c, pixmap, m_connection->root(), uint16_t(rect.width()), uint16_t(rect.height()), 32, segment.id, 0);
    const xcb_void_cookie_t pictured = xcb_render_create_picture_checked(c, picture, pixmap, m_opaqueFormat, 0, nullptr);
    // The root's format has no alpha, so RENDER reads it as opaque and writes 0xff there.
    const xcb_void_cookie_t composited =
        xcb_render_composite_checked(c, XCB_RENDER_PICT_OP_SRC, m_rootPicture, XCB_NONE, picture, int16_t(rect.x()),
                                     int16_t(rect.y()), 0, 0, 0, 0, uint16_t(rect.width()), uint16_t(rect.height()));
    xcb_render_free_picture(c, picture);
    xcb_free_pixmap(c, pixmap);
    // Checking the last waits for the server to have written every pixel; the others are
    // answered by then.
    XcbReply<xcb_generic_error_t> compositeError(xcb_request_check(c, composited));
    XcbReply<xcb_generic_error_t> pixmapError(xcb_request_check(c, made));
    XcbReply<xcb_generic_error_t> pictureError(xcb_request_check(c, pictured));
    return !compositeError && !pixmapError && !pictureError;
}

bool X11ScreenGrabber::grabInBands(const QRect& rect, const Segment& segment)
{
    xcb_connection_t* c = m_connection->get();
    const xcb_window_t root = m_connection->root();
    const std::size_t stride = std::size_t(rect.width()) * 4;
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
                         xcb_shm_get_image(c, root, int16_t(rect.x()), int16_t(rect.y() + top), uint16_t(rect.width()),
                                           uint16_t(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.id,
                                           uint32_t(std::size_t(top) * stride))});
    }
    xcb_flush(c);

    auto* pixels = static_cast<uchar*>(segment.address);
    const int parts = m_copyPool.maxThreadCount();
    bool ok = true;
    std::vector<QFuture<void>> passes;
    for (const Band& band : bands) {
        xcb_generic_error_t* rawError = nullptr;
        XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(c, band.cookie, &rawError));
        XcbReply<xcb_generic_error_t> error(rawError);
        if (!reply || error || !ok) {
            ok = false;
            continue; // every reply is still read, so none is left waiting in the connection
        }
        // Each band is split over the pool, so the pass over the last one, which nothing
        // overlaps, is short.
        const int bandParts = std::min(band.rows, parts);
        for (int part = 0; part < bandParts; ++part) {
            const int top = band.top + band.rows * part / bandParts;
            const int rows = band.top + band.rows * (part + 1) / bandParts - top;
            passes.push_back(QtConcurrent::run(&m_copyPool, makeOpaque, pixels + std::size_t(top) * stride,
                                               std::size_t(rows) * rect.width()));
        }
    }
    for (QFuture<void>& pass : passes)
        pass.waitForFinished();
    return ok;
}

} // namespace vorlith
