#include "app/base/ApplicationVersionInfo.h"

#include "app/base/BundleInfo.h"

#include <QDate>

#include <optional>

namespace vorlith {

namespace {

std::optional<QString> stringValue(const QVariantMap& bundle, const char* key)
{
    const QVariant value = bundle.value(QString::fromLatin1(key));
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QString firstString(const QVariantMap& bundle, std::initializer_list<const char*> keys, const char* fallback)
{
    for (const char* key : keys) {
        if (std::optional<QString> value = stringValue(bundle, key))
            return *value;
    }
    return QString::fromUtf8(fallback);
}

} // namespace

bool ApplicationVersionInfo::isReleaseDate(const QString& text)
{
    // A calendar date, not a moment: no time zone takes part, so a day without a local
    // midnight (a daylight-saving jump at 00:00) still reads.
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    return date.isValid() && date.toString(QStringLiteral("yyyy-MM-dd")) == text;
}

ApplicationVersionInfo ApplicationVersionInfo::fromBundle(const QVariantMap& bundle)
{
    ApplicationVersionInfo info;
    info.name = firstString(bundle, {BundleInfo::displayNameKey, BundleInfo::nameKey}, defaultName);
    info.version = firstString(bundle, {BundleInfo::versionKey}, notProvided);
    info.build = firstString(bundle, {BundleInfo::buildKey}, notProvided);
    const std::optional<QString> date = stringValue(bundle, BundleInfo::releaseDateKey);
    info.releaseDate = date && isReleaseDate(*date) ? *date : QString::fromUtf8(unreleased);
    return info;
}

} // namespace vorlith
