#pragma once

// What another program reads from the clipboard as a PNG image (xclip against the test's X
// server); none when nothing PNG is offered or the bytes are no PNG.

#include "support/X11Environment.h"

#include <QByteArray>
#include <QImage>

#include <optional>

namespace vorlith::test {

inline std::optional<QImage> clipboardPng()
{
    QByteArray png;
    const int status = X11Environment::server()->run(
        QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), QStringLiteral("image/png"),
         QStringLiteral("-o")},
        &png);
    QImage image;
    if (status != 0 || !png.startsWith("\x89PNG") || !image.loadFromData(png, "PNG"))
        return std::nullopt;
    return image;
}

} // namespace vorlith::test
