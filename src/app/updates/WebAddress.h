#pragma once

#include <QUrl>

namespace vorlith {

// An absolute http or https address with a host: the only kind the updater opens or offers.
inline bool isWebAddress(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace vorlith
