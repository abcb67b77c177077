#pragma once

#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <stdexcept>

namespace vorlith {

// Why there is no updater: the build carries no usable feed address or key.
class UpdateConfigurationError : public std::runtime_error {
public:
    static constexpr const char* missingReleaseConfigurationMessage =
        "更新发布源尚未配置，暂时无法检查更新。当前版本可继续使用。";
    UpdateConfigurationError() : std::runtime_error(missingReleaseConfigurationMessage) {}
    QString description() const { return QString::fromUtf8(what()); }
};

// The release configuration of the bundle values: an HTTPS feed on a real host, without
// credentials, and a public key of 32 bytes in Base64.
struct UpdateConfiguration {
    QUrl feedURL;
    QString publicKey; // the key text as read

    // Throws UpdateConfigurationError when any check fails.
    [[nodiscard]] static UpdateConfiguration fromBundle(const QVariantMap& bundle);

    friend bool operator==(const UpdateConfiguration&, const UpdateConfiguration&) = default;
};

} // namespace vorlith
