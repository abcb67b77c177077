#pragma once

// What the editor benchmarks work on: a frozen 3840 × 2160 display of coloured blocks, shown
// at one point per pixel.

#include "app/base/EditorImageSource.h"
#include "core/Annotation.h"
#include "rendering/Bitmap.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QUuid>

#include <vector>

namespace vorlith::bench {

inline constexpr int displayWidth = 3840;
inline constexpr int displayHeight = 2160;

inline QImage frozenDisplay()
{
    QImage image = Bitmap::create(displayWidth, displayHeight);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(60, 90, 120));
    for (int i = 0; i < 400; ++i)
        painter.fillRect(QRect((i * 97) % 3700, (i * 53) % 2100, 160, 40), QColor::fromHsv((i * 37) % 360, 120, 200));
    return image;
}

inline EditorImageSource displaySource(const QImage& frozen)
{
    const Size size{double(displayWidth), double(displayHeight)};
    return EditorImageSource{QUuid::createUuid(), frozen, CaptureGeometry{size, size}};
}

// Twenty red marks of 240 × 160 points in a 5 × 4 grid over the display's middle; `kindOf`
// gives the kind of the mark at each index.
template <typename KindOf>
std::vector<Annotation> markGrid(KindOf kindOf)
{
    const AnnotationStyle style{.color = RGBA::Red, .width = 4, .opacity = 1, .fontSize = 28, .mosaicSize = 16};
    std::vector<Annotation> marks;
    for (int i = 0; i < 20; ++i) {
        const double x = 700 + (i % 5) * 360;
        const double y = 500 + (i / 5) * 260;
        marks.push_back({QUuid::createUuid(), kindOf(i), {{x, y}, {x + 240, y + 160}}, style, QString(), 1});
    }
    return marks;
}

} // namespace vorlith::bench
