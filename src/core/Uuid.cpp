#include "core/Uuid.h"

#include <cctype>

namespace vorlith {

std::optional<QUuid> parseUuid(std::string_view text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hyphenSlot = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphenSlot ? c != '-' : !std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
    }
    const QUuid id = QUuid::fromString(QLatin1StringView(text.data(), qsizetype(text.size())));
    return id;
}

std::optional<QUuid> parseUuid(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() != text.size())
        return std::nullopt; // non-ASCII
    return parseUuid(std::string_view(bytes.constData(), size_t(bytes.size())));
}

QString uuidString(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::string uuidStdString(const QUuid& id)
{
    return uuidString(id).toStdString();
}

} // namespace vorlith
