#include "app/output/ImageFormat.h"

namespace vorlith {

QString rawValue(ImageFormat format)
{
    return format == ImageFormat::png ? QStringLiteral("PNG") : QStringLiteral("JPEG");
}

std::optional<ImageFormat> imageFormatFromRawValue(const QString& raw)
{
    for (ImageFormat format : allImageFormats) {
        if (raw == rawValue(format))
            return format;
    }
    return std::nullopt;
}

QString fileExtension(ImageFormat format)
{
    return format == ImageFormat::png ? QStringLiteral("png") : QStringLiteral("jpg");
}

QString mimeType(ImageFormat format)
{
    return format == ImageFormat::png ? QStringLiteral("image/png") : QStringLiteral("image/jpeg");
}

QStringList acceptedExtensions(ImageFormat format)
{
    if (format == ImageFormat::png)
        return {QStringLiteral("png")};
    return {QStringLiteral("jpg"), QStringLiteral("jpeg")};
}

namespace {

// The text after the last dot, as a path extension: none when there is no dot or the dot
// starts the name (".png" is a hidden file without an extension).
QString pathExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return {};
    return name.mid(dot + 1);
}

bool isImageExtension(const QString& extension)
{
    const QString lower = extension.toLower();
    for (ImageFormat format : allImageFormats) {
        if (acceptedExtensions(format).contains(lower))
            return true;
    }
    return false;
}

} // namespace

QString renamedForFormat(const QString& name, ImageFormat format)
{
    QString stem = name;
    const QString extension = pathExtension(name);
    if (!extension.isEmpty() && isImageExtension(extension))
        stem.chop(extension.size() + 1);
    return stem + QLatin1Char('.') + fileExtension(format);
}

QString fileNameForFormat(const QString& name, ImageFormat format)
{
    if (acceptedExtensions(format).contains(pathExtension(name).toLower()))
        return name;
    return name + QLatin1Char('.') + fileExtension(format);
}

Json toJson(ImageFormat format)
{
    return rawValue(format).toStdString();
}

ImageFormat imageFormatFromJson(const Json& value)
{
    if (!value.is_string())
        throw JsonDecodeError("format: expected a string");
    const auto format = imageFormatFromRawValue(QString::fromStdString(value.get<std::string>()));
    if (!format)
        throw JsonDecodeError("format: unknown image format");
    return *format;
}

} // namespace vorlith
