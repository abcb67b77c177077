#pragma once

#include <QVariantMap>

namespace vorlith {

// The program's own description, made by the build: name, version, build number, release
// date and the update feed's address and public key. Values the build was not given are
// absent, never empty strings, so a reader tells "not configured" from a value.
class BundleInfo {
public:
    static constexpr const char* displayNameKey = "CFBundleDisplayName";
    static constexpr const char* nameKey = "CFBundleName";
    static constexpr const char* versionKey = "CFBundleShortVersionString";
    static constexpr const char* buildKey = "CFBundleVersion";
    static constexpr const char* releaseDateKey = "TolvaneReleaseDate";
    static constexpr const char* feedURLKey = "SUFeedURL";
    static constexpr const char* publicKeyKey = "SUPublicEDKey";

    // The running program's values, as the build wrote them.
    [[nodiscard]] static QVariantMap main();
};

} // namespace vorlith
