#include "app/updates/ReleaseVersion.h"

#include <algorithm>

namespace vorlith {

namespace {

bool isComponent(const QString& part)
{
    if (part.isEmpty() || (part.size() > 1 && part.front() == QLatin1Char('0')))
        return false;
    return std::all_of(part.begin(), part.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

int compareComponents(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    return a.compare(b);
}

} // namespace

std::optional<ReleaseVersion> ReleaseVersion::parse(const QString& text)
{
    if (text.isEmpty() || text.size() > maximumLength)
        return std::nullopt;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (!std::all_of(parts.begin(), parts.end(), isComponent))
        return std::nullopt;
    ReleaseVersion version;
    version.m_text = text;
    version.m_components = parts;
    return version;
}

int ReleaseVersion::compare(const ReleaseVersion& other) const
{
    const qsizetype count = std::max(m_components.size(), other.m_components.size());
    const QString zero = QStringLiteral("0");
    for (qsizetype i = 0; i < count; ++i) {
        const QString& a = i < m_components.size() ? m_components[i] : zero;
        const QString& b = i < other.m_components.size() ? other.m_components[i] : zero;
        if (const int order = compareComponents(a, b); order != 0)
            return order < 0 ? -1 : 1;
    }
    return 0;
}

} // namespace vorlith
