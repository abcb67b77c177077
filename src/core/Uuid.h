#pragma once

#include <QString>
#include <QUuid>

#include <optional>
#include <string_view>

namespace vorlith {

// Ids are read strictly: exactly the 36-character hyphenated form, hex digits in either case.
// Braces, URNs and other forms QUuid would accept are refused.
std::optional<QUuid> parseUuid(std::string_view text);
std::optional<QUuid> parseUuid(const QString& text);

// Upper-case hex without braces.
QString uuidString(const QUuid& id);
std::string uuidStdString(const QUuid& id);

} // namespace vorlith
