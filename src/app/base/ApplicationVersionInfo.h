#pragma once

#include <QString>
#include <QVariantMap>

namespace vorlith {

// The version record the About and update windows show, read from the program's bundle
// values (BundleInfo). Missing or non-text values fall back to fixed texts, so it always reads.
struct ApplicationVersionInfo {
    static constexpr const char* defaultName = "Vorlith";
    static constexpr const char* notProvided = "未提供";
    static constexpr const char* unreleased = "待发布";

    QString name;
    QString version;
    QString build;
    QString releaseDate; // "yyyy-MM-dd", or `unreleased`

    [[nodiscard]] static ApplicationVersionInfo fromBundle(const QVariantMap& bundle);
    // True for a calendar date written exactly as "yyyy-MM-dd" (2025-02-30 and 2025-3-7 fail).
    [[nodiscard]] static bool isReleaseDate(const QString& text);

    friend bool operator==(const ApplicationVersionInfo&, const ApplicationVersionInfo&) = default;
};

} // namespace vorlith
