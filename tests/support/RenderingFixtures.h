#pragma once

#include "core/Annotation.h"
#include "rendering/Bitmap.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QUuid>

#include <functional>
#include <optional>
#include <vector>

namespace vorlith::test {

inline AnnotationStyle markStyle(RGBA color = RGBA::Red, double width = 2)
{
    return AnnotationStyle{.color = color, .width = width, .opacity = 0.35, .fontSize = 28, .mosaicSize = 16};
}

inline Annotation mark(Annotation::Kind kind, std::vector<Point> points, AnnotationStyle style = markStyle(),
                       QString text = {}, int number = 1)
{
    return Annotation{QUuid::createUuid(), kind, std::move(points), style, std::move(text), number};
}

inline Annotation textMark(const QString& text, Point at, double fontSize = 28, RGBA color = RGBA::Red,
                           std::optional<RGBA> background = std::nullopt)
{
    AnnotationStyle style = markStyle(color);
    style.fontSize = fontSize;
    style.background = background;
    return mark(Annotation::Kind::text, {at}, style, text);
}

inline Annotation marker(int number, Point center, double diameter, RGBA color = RGBA::Red)
{
    return Annotation::numbered(number, center, diameter, markStyle(color));
}

// A bitmap of one colour in the application's format.
inline QImage solidImage(QSize size, QColor color = Qt::white)
{
    QImage image = Bitmap::create(size.width(), size.height());
    image.fill(color);
    return image;
}

// A bitmap whose every byte differs from its neighbours, so averages and copies are exact
// checks. Alpha is 255 (opaque) so premultiplication keeps the bytes as written.
inline QImage noiseImage(QSize size, unsigned seed = 1)
{
    QImage image = Bitmap::create(size.width(), size.height());
    unsigned state = seed * 2654435761u + 1;
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            state = state * 1664525u + 1013904223u;
            row[x] = qRgba(int(state >> 24), int((state >> 16) & 0xff), int((state >> 8) & 0xff), 255);
        }
    }
    return image;
}

// The smallest rectangle holding every pixel for which the predicate holds; empty when none.
inline QRect pixelsWhere(const QImage& image, const std::function<bool(QRgb)>& predicate)
{
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (predicate(row[x]))
                found |= QRect(x, y, 1, 1);
    }
    return found;
}

// The box of every pixel that differs from the other image of the same size.
inline QRect changedPixels(const QImage& image, const QImage& reference)
{
    QRect found;
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        const auto* ref = reinterpret_cast<const QRgb*>(reference.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (row[x] != ref[x])
                found |= QRect(x, y, 1, 1);
    }
    return found;
}

inline bool sameColor(QRgb pixel, QColor expected, int tolerance = 2)
{
    return std::abs(qRed(pixel) - expected.red()) <= tolerance && std::abs(qGreen(pixel) - expected.green()) <= tolerance &&
           std::abs(qBlue(pixel) - expected.blue()) <= tolerance && std::abs(qAlpha(pixel) - expected.alpha()) <= tolerance;
}

} // namespace vorlith::test
