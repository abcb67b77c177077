#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace vorlith {

// The number of bytes text takes in UTF-8, counted without building the encoded copy. A lone
// surrogate counts as the three bytes of the replacement character.
std::int64_t utf8Length(QStringView text);

// The text with every lone surrogate replaced by U+FFFD, so that it has one UTF-8 form: a
// QString can hold half a pair, UTF-8 cannot, and encoders disagree about what to make of it.
[[nodiscard]] QString wellFormedText(const QString& text);

} // namespace vorlith
