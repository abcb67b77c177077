#include "app/base/ShadowPainter.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vorlith {

namespace {

// One pass of a running-sum box blur of width 2 * r + 1 over one row or column of alpha.
void boxBlurLine(const quint8* in, quint8* out, int length, int stride, int r)
{
    if (r <= 0) {
        for (int i = 0; i < length; ++i)
            out[i * stride] = in[i * stride];
        return;
    }
    const int width = 2 * r + 1;
    int sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += (i >= 0 && i < length) ? in[i * stride] : 0;
    for (int i = 0; i < length; ++i) {
        out[i * stride] = quint8((sum + width / 2) / width);
        const int leaving = i - r, entering = i + r + 1;
        if (leaving >= 0)
            sum -= in[leaving * stride];
        if (entering < length)
            sum += in[entering * stride];
    }
}

// Three box blurs approximate a Gaussian of the given sigma (in pixels).
void gaussianBlur(QImage& alpha, double sigma)
{
    if (sigma <= 0)
        return;
    // Box half-width whose three passes give variance sigma^2: 3 * ((2r+1)^2 - 1) / 12.
    const int r = std::max(1, int(std::lround((std::sqrt(4.0 * sigma * sigma + 1.0) - 1.0) / 2.0)));
    const int w = alpha.width(), h = alpha.height();
    const int stride = int(alpha.bytesPerLine());
    std::vector<quint8> scratch(std::size_t(stride) * h);
    for (int pass = 0; pass < 3; ++pass) {
        quint8* bits = alpha.bits();
        for (int y = 0; y < h; ++y)
            boxBlurLine(bits + y * stride, scratch.data() + y * stride, w, 1, r);
        for (int x = 0; x < w; ++x)
            boxBlurLine(scratch.data() + x, bits + x, h, stride, r);
    }
}

int fixed(double value)
{
    return int(std::lround(value * 64));
}

} // namespace

double ShadowPainter::margin(double blur)
{
    // Three sigmas hold all but a trace of a Gaussian.
    return std::ceil(std::max(0.0, blur) * 1.5) + 1;
}

QImage ShadowPainter::image(const QSizeF& size, double radius, const Shadow& shadow, double pixelRatio)
{
    const double ratio = pixelRatio > 0 ? pixelRatio : 1;
    const double pad = margin(shadow.blur);
    const int width = int(std::ceil((size.width() + 2 * pad) * ratio));
    const int height = int(std::ceil((size.height() + 2 * pad) * ratio));
    const Key key{width, height, fixed(radius), fixed(shadow.blur), shadow.color.rgba(), fixed(ratio)};
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        if (it->first == key) {
            m_cache.splice(m_cache.begin(), m_cache, it);
            return m_cache.front().second;
        }

    ++m_renders;
    QImage alpha(std::max(1, width), std::max(1, height), QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter p(&alpha);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(ratio, ratio);
        QPainterPath path;
        path.addRoundedRect(QRectF(QPointF(pad, pad), size), radius, radius);
        p.fillPath(path, Qt::black);
    }
    gaussianBlur(alpha, shadow.blur / 2 * ratio);

    QImage tinted(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    const QColor c = shadow.color;
    for (int y = 0; y < alpha.height(); ++y) {
        const quint8* a = alpha.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(tinted.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x) {
            const int coverage = a[x] * c.alpha() / 255;
            out[x] = qRgba(c.red() * coverage / 255, c.green() * coverage / 255, c.blue() * coverage / 255, coverage);
        }
    }
    tinted.setDevicePixelRatio(ratio);
    m_cache.emplace_front(key, tinted);
    if (m_cache.size() > capacity)
        m_cache.pop_back();
    return tinted;
}

void ShadowPainter::paint(QPainter& painter, const QRectF& rect, double radius, const Shadow& shadow)
{
    if (rect.isEmpty() || shadow.color.alpha() == 0)
        return;
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage shadowImage = image(rect.size(), radius, shadow, ratio);
    const double pad = margin(shadow.blur);
    painter.drawImage(rect.topLeft() + shadow.offset - QPointF(pad, pad), shadowImage);
}

double ShadowPainter::stretchedReach(double radius, double blur)
{
    return std::ceil(radius + margin(blur));
}

void ShadowPainter::paintStretched(QPainter& painter, const QRectF& rect, double radius, const Shadow& shadow,
                                   bool hollow)
{
    if (rect.isEmpty() || shadow.color.alpha() == 0)
        return;
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const double pad = margin(shadow.blur);
    // The corner reaches the radius plus the blur's spread inward: beyond it every row of the
    // blurred square is the same, so the middle can be stretched.
    const double corner = stretchedReach(radius, shadow.blur);
    const double side = 2 * corner + 2;
    const QImage square = image(QSizeF(side, side), radius, shadow, ratio);
    const double c = pad + corner; // a corner slice, logical
    const double whole = side + 2 * pad;
    const QRectF target = rect.translated(shadow.offset).adjusted(-pad, -pad, pad, pad);
    // A shape smaller than two corners shares its middle between them.
    const double cx = std::min(c, target.width() / 2);
    const double cy = std::min(c, target.height() / 2);
    const double xs[] = {0, cx, whole - cx, whole};
    const double ys[] = {0, cy, whole - cy, whole};
    const double txs[] = {target.left(), target.left() + cx, target.right() - cx, target.right()};
    const double tys[] = {target.top(), target.top() + cy, target.bottom() - cy, target.bottom()};
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const QRectF to(QPointF(txs[column], tys[row]), QPointF(txs[column + 1], tys[row + 1]));
            if (to.width() <= 0 || to.height() <= 0 || (hollow && row == 1 && column == 1))
                continue;
            const QRectF from(QPointF(xs[column] * ratio, ys[row] * ratio),
                              QPointF(xs[column + 1] * ratio, ys[row + 1] * ratio));
            painter.drawImage(to, square, from);
        }
    painter.restore();
}

} // namespace vorlith
