#include "app/import/ImportItemName.h"

namespace vorlith {

QString lastPathComponent(const QUrl& url)
{
    QString path = url.path();
    if (path.isEmpty())
        return url.toString();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path == QLatin1String("/"))
        return path;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace vorlith
