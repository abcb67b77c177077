#pragma once

#include "core/Json.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace vorlith {

// The two file formats the application writes. The raw value is also the title of the save
// panel's format pop-up and the form the settings file stores under "format".
enum class ImageFormat { png, jpeg };

// Every case in declaration order; the save panel's pop-up is filled from it.
inline constexpr std::array<ImageFormat, 2> allImageFormats{ImageFormat::png, ImageFormat::jpeg};

// "PNG" or "JPEG".
QString rawValue(ImageFormat format);
// Exact, case-sensitive match of a raw value; "png" gives nothing.
std::optional<ImageFormat> imageFormatFromRawValue(const QString& raw);

// The extension the save panel writes: "png" or "jpg" (never "jpeg").
QString fileExtension(ImageFormat format);
// The MIME type of the encoded bytes: "image/png" or "image/jpeg".
QString mimeType(ImageFormat format);
// Lower-case extensions that already name this format: png; jpg and jpeg.
QStringList acceptedExtensions(ImageFormat format);

// The name after the format pop-up changed: an existing image extension (png, jpg, jpeg in
// any letter case) is replaced, any other text keeps its last part and gains the new one.
// "Report.PNG" becomes "Report.jpg"; "截图 2024-05-01 09.30.15" becomes "….09.30.15.jpg".
QString renamedForFormat(const QString& name, ImageFormat format);

// The file name the bytes are written under: the name itself when its extension already names
// the format, otherwise the name with the format's extension appended. So a .png file never
// holds JPEG bytes, and "shot.png" saved as JPEG becomes "shot.png.jpg".
QString fileNameForFormat(const QString& name, ImageFormat format);

// Coded form: the raw value as a single string. Decoding accepts exactly "PNG" and "JPEG" and
// throws JsonDecodeError for anything else.
Json toJson(ImageFormat format);
ImageFormat imageFormatFromJson(const Json& value);

} // namespace vorlith
