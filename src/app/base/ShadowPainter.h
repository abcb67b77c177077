#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPointF>
#include <QRectF>

#include <list>

class QPainter;

namespace vorlith {

// A soft shadow under a rounded rectangle: the shape's alpha blurred and tinted, drawn at an
// offset. Blurring is the expensive part, so each blurred image is kept for the next paint
// of the same size, radius, blur, colour and pixel ratio (toasts and pins repaint often with
// the same body).
class ShadowPainter {
public:
    struct Shadow {
        QPointF offset; // y down
        double blur = 0; // the blur radius in logical pixels; the Gaussian's sigma is half of it
        QColor color;
    };

    // Paints the shadow that `rect` rounded by `radius` casts, in the painter's logical
    // coordinates. The shape itself is not drawn.
    void paint(QPainter& painter, const QRectF& rect, double radius, const Shadow& shadow);

    // The same shadow for a shape of any size, stretched from the blurred image of one small
    // rounded square: its corners are drawn as they are and its middle rows and columns are
    // stretched. A shape that changes size (a pin being zoomed) is never blurred again.
    // A hollow shadow leaves out its middle (a shape that is opaque, or cleared afterwards,
    // covers it): only a band reaching `stretchedReach` inside the shape's edge is drawn.
    void paintStretched(QPainter& painter, const QRectF& rect, double radius, const Shadow& shadow,
                        bool hollow = false);
    [[nodiscard]] static double stretchedReach(double radius, double blur);
    // The blurred, tinted image for one shadow, `margin` logical pixels larger than the shape
    // on every side, at the given device pixel ratio. Cached.
    [[nodiscard]] QImage image(const QSizeF& size, double radius, const Shadow& shadow, double pixelRatio);
    [[nodiscard]] static double margin(double blur);

    int cacheSize() const { return int(m_cache.size()); }
    int renders() const { return m_renders; }

private:
    struct Key {
        int width, height; // in device pixels
        int radius, blur;  // in 1/64 logical pixels
        QRgb color;
        int ratio; // in 1/64
        friend bool operator==(const Key&, const Key&) = default;
    };
    static constexpr std::size_t capacity = 16;

    std::list<std::pair<Key, QImage>> m_cache; // most recent first
    int m_renders = 0;
};

} // namespace vorlith
