#include "platform/PasteboardItem.h"

namespace vorlith {

bool PasteboardItem::setData(const QString& type, const QByteArray& data)
{
    if (type.isEmpty() || data.isNull())
        return false;
    for (auto& entry : m_entries) {
        if (entry.first == type) {
            entry.second = data;
            return true;
        }
    }
    m_entries.append({type, data});
    return true;
}

QStringList PasteboardItem::types() const
{
    QStringList out;
    out.reserve(m_entries.size());
    for (const auto& entry : m_entries)
        out << entry.first;
    return out;
}

std::optional<QByteArray> PasteboardItem::data(const QString& type) const
{
    for (const auto& entry : m_entries) {
        if (entry.first == type)
            return entry.second;
    }
    return std::nullopt;
}

} // namespace vorlith
