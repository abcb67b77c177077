#pragma once

#include <cstdint>
#include <limits>

namespace vorlith {

// Byte counts of the memory accounting add up without overflowing: a sum that would pass the
// largest count stays there (and the smallest, for negative terms).
inline std::int64_t saturatingAdd(std::int64_t a, std::int64_t b)
{
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
}

} // namespace vorlith
