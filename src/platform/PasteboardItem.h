#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace vorlith {

// The type names a pasteboard item carries: MIME types, as X11 selection targets name them.
namespace PasteboardType {
inline QString png() { return QStringLiteral("image/png"); }
inline QString plainText() { return QStringLiteral("text/plain"); }
} // namespace PasteboardType

// One piece of clipboard content: the same thing as data under one or more types, in order.
class PasteboardItem {
public:
    // Sets (or replaces) the data of a type. Refuses an empty type name and null data.
    bool setData(const QString& type, const QByteArray& data);

    QStringList types() const;
    std::optional<QByteArray> data(const QString& type) const;
    bool isEmpty() const { return m_entries.isEmpty(); }

    friend bool operator==(const PasteboardItem&, const PasteboardItem&) = default;

private:
    QList<std::pair<QString, QByteArray>> m_entries;
};

} // namespace vorlith
