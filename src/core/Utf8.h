#pragma once

#include <QStringView>

#include <cstdint>

namespace vorlith {

// The number of bytes text takes in UTF-8, counted without building the encoded copy. A lone
// surrogate counts as the three bytes of the replacement character.
std::int64_t utf8Length(QStringView text);

} // namespace vorlith
