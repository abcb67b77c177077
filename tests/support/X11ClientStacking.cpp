#include "support/X11ClientStacking.h"

#include "support/X11Environment.h"

#include <QString>

namespace vorlith::test {

std::vector<quint64> clientStacking()
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")},
                                  &out);
    std::vector<quint64> ids;
    const QString text = QString::fromLatin1(out);
    const int hash = text.indexOf(QLatin1Char('#'));
    if (hash < 0)
        return ids;
    for (const QString& part : text.mid(hash + 1).split(QLatin1Char(','), Qt::SkipEmptyParts))
        ids.push_back(part.trimmed().toULongLong(nullptr, 16));
    return ids;
}

} // namespace vorlith::test
