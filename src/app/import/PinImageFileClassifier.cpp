#include "app/import/PinImageFileClassifier.h"

#include <QFileInfo>
#include <QMimeDatabase>

#include <sys/stat.h>

#include <optional>

namespace vorlith {

namespace {

// What the file system says about the item, from one status query (links followed).
struct ResourceValues {
    bool isDirectory = false;
    bool isRegularFile = false;
};

std::optional<ResourceValues> resourceValues(const QString& path)
{
    struct stat status {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return ResourceValues{S_ISDIR(status.st_mode), S_ISREG(status.st_mode)};
}

// The type the file's name alone gives, without reading its contents.
QMimeType typeForName(const QString& path)
{
    static const QMimeDatabase database;
    const QList<QMimeType> types = database.mimeTypesForFileName(QFileInfo(path).fileName());
    return types.isEmpty() ? QMimeType() : types.first();
}

bool isGeneric(const QMimeType& type)
{
    return type.name() == QLatin1String("application/octet-stream");
}

} // namespace

bool PinImageFileClassifier::isImageType(const QString& mimeTypeName)
{
    static const QMimeDatabase database;
    const QMimeType type = database.mimeTypeForName(mimeTypeName);
    const auto image = [](const QString& name) { return name.startsWith(QLatin1String("image/")); };
    if (image(mimeTypeName))
        return true;
    if (!type.isValid())
        return false;
    if (image(type.name()))
        return true;
    for (const QString& ancestor : type.allAncestors())
        if (image(ancestor))
            return true;
    return false;
}

PinImageFileClassifier::Kind PinImageFileClassifier::classify(const QUrl& url)
{
    if (!url.isLocalFile())
        return Kind::unknown;
    const QString path = url.toLocalFile();
    const std::optional<ResourceValues> values = resourceValues(path);
    if (values && values->isDirectory)
        return Kind::nonImage;

    // A matching name is enough: the extension is consulted before what the item is.
    const QMimeType named = typeForName(path);
    if (named.isValid() && isImageType(named.name()))
        return Kind::image;

    if (!values || !values->isRegularFile)
        return Kind::unknown;
    // Without a name that says more, a regular file is only known as generic data.
    if (!named.isValid() || isGeneric(named))
        return Kind::unknown;
    return isImageType(named.name()) ? Kind::image : Kind::nonImage;
}

} // namespace vorlith
