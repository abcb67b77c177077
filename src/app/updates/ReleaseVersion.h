#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vorlith {

// A dotted-decimal version ("1", "1.10.2"): components of digits without leading zeros, at
// most 64 characters in all. Components compare as numbers of any length (as digit strings,
// so nothing overflows); missing ones count as 0, so 1.0 equals 1.0.0.
class ReleaseVersion {
public:
    static constexpr int maximumLength = 64;

    [[nodiscard]] static std::optional<ReleaseVersion> parse(const QString& text);

    const QString& text() const { return m_text; }
    // Negative, 0 or positive as this version is older than, equal to or newer than `other`.
    [[nodiscard]] int compare(const ReleaseVersion& other) const;

    friend bool operator<(const ReleaseVersion& a, const ReleaseVersion& b) { return a.compare(b) < 0; }
    friend bool operator==(const ReleaseVersion& a, const ReleaseVersion& b) { return a.compare(b) == 0; }

private:
    QString m_text;
    QStringList m_components;
};

} // namespace vorlith
