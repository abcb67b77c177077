#include "app/updates/UpdateConfiguration.h"

#include "app/base/BundleInfo.h"

#include <QByteArray>

namespace vorlith {

namespace {

QString requiredString(const QVariantMap& bundle, const char* key)
{
    const QVariant value = bundle.value(QString::fromLatin1(key));
    if (value.typeId() != QMetaType::QString)
        throw UpdateConfigurationError();
    return value.toString();
}

bool isLoopback(const QString& host)
{
    // QUrl gives an IPv6 host without its brackets.
    return host.toLower() == QLatin1String("localhost") || host == QLatin1String("127.0.0.1") ||
           host == QLatin1String("::1");
}

} // namespace

UpdateConfiguration UpdateConfiguration::fromBundle(const QVariantMap& bundle)
{
    const QString address = requiredString(bundle, BundleInfo::feedURLKey);
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().toLower() != QLatin1String("https"))
        throw UpdateConfigurationError();
    if (url.host().isEmpty() || !url.userName().isEmpty() || !url.password().isEmpty() ||
        url.userInfo().size() > 0 || isLoopback(url.host()))
        throw UpdateConfigurationError();

    const QString key = requiredString(bundle, BundleInfo::publicKeyKey);
    const auto decoded = QByteArray::fromBase64Encoding(key.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    bool latin = true;
    for (QChar c : key)
        latin = latin && c.unicode() < 0x80;
    if (!latin || !decoded || decoded.decoded.size() != 32)
        throw UpdateConfigurationError();
    return {url, key};
}

} // namespace vorlith
