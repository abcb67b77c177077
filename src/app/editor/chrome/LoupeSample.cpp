#include "app/editor/chrome/LoupeSample.h"

#include <algorithm>
#include <cmath>

namespace vorlith {

QRgb LoupeSample::unpremultiplied(QRgb premultiplied)
{
    const int alpha = qAlpha(premultiplied);
    if (alpha == 0)
        return qRgb(0, 0, 0);
    const double a = alpha / 255.0;
    const auto channel = [a](int byte) { return std::min(int(std::lround(byte / a)), 255); };
    return qRgb(channel(qRed(premultiplied)), channel(qGreen(premultiplied)), channel(qBlue(premultiplied)));
}

std::optional<LoupeSample> LoupeSample::take(const QImage& image, Point p, Size logical)
{
    if (image.isNull() || !p.isFinite() || !logical.isFinite() || !(logical.width > 0) || !(logical.height > 0))
        return std::nullopt;
    if (!Rect(0, 0, logical.width, logical.height).contains(p))
        return std::nullopt;
    const Size pixels{double(image.width()), double(image.height())};
    const LoupeSampling sampling(p, logical, pixels);

    // The one pixel, in the premultiplied format whatever the source's own.
    const QImage pixel = image.copy(int(sampling.sample.x), int(sampling.sample.y), 1, 1)
                             .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (pixel.isNull())
        return std::nullopt;
    const QRgb straight = unpremultiplied(reinterpret_cast<const QRgb*>(pixel.constScanLine(0))[0]);
    const QImage patch = image.copy(int(sampling.crop.minX()), int(sampling.crop.minY()), int(sampling.crop.width()),
                                    int(sampling.crop.height()));
    if (patch.isNull())
        return std::nullopt;
    QString hex = QString::asprintf("#%02X%02X%02X", qRed(straight), qGreen(straight), qBlue(straight));
    return LoupeSample{std::move(hex), QColor::fromRgb(straight), patch, sampling};
}

Point loupeOrigin(Point p, Size loupe, const Rect& bounds)
{
    double x = p.x + 20;
    if (x + loupe.width > bounds.maxX() - 8)
        x = p.x - loupe.width - 20;
    double y = p.y + 20;
    if (y + loupe.height > bounds.maxY() - 8)
        y = p.y - loupe.height - 20;
    // max after min: the lower bound wins when the range is empty.
    x = std::max(std::min(x, bounds.maxX() - loupe.width - 8), bounds.minX() + 8);
    y = std::max(std::min(y, bounds.maxY() - loupe.height - 8), bounds.minY() + 8);
    return {x, y};
}

} // namespace vorlith
