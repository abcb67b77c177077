#pragma once

// What the editor benchmarks work on: a frozen 3840 × 2160 display of coloured blocks, shown
// at one point per pixel.

#include "app/base/EditorImageSource.h"
#include "rendering/Bitmap.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QUuid>

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

} // namespace vorlith::bench
