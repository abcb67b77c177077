#include "app/base/BundleInfo.h"

// Written by the build from its cache variables (src/CMakeLists.txt).
#include "BundleValues.inc"

namespace vorlith {

namespace {

void insertIfGiven(QVariantMap& map, const char* key, const char* value)
{
    const QString text = QString::fromUtf8(value);
    if (!text.isEmpty())
        map.insert(QString::fromLatin1(key), text);
}

} // namespace

QVariantMap BundleInfo::main()
{
    QVariantMap map;
    insertIfGiven(map, nameKey, bundleValues::name);
    insertIfGiven(map, versionKey, bundleValues::version);
    insertIfGiven(map, buildKey, bundleValues::build);
    insertIfGiven(map, releaseDateKey, bundleValues::releaseDate);
    insertIfGiven(map, feedURLKey, bundleValues::feedURL);
    insertIfGiven(map, publicKeyKey, bundleValues::publicKey);
    return map;
}

} // namespace vorlith
