#pragma once

#include <QtGlobal>

#include <limits>

namespace vorlith {

// Byte counts of the memory budget saturate instead of wrapping: a saturated figure is
// simply too large for any fit test.

inline qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

inline qint64 saturatingMultiply(qint64 a, qint64 b)
{
    qint64 product = 0;
    if (__builtin_mul_overflow(a, b, &product))
        return (a < 0) == (b < 0) ? std::numeric_limits<qint64>::max()
                                  : std::numeric_limits<qint64>::min();
    return product;
}

} // namespace vorlith
