#include "core/JsonValues.h"

#include <limits>
#include <string>

namespace vorlith::json {

Json pair(double first, double second, const char* what)
{
    return Json::array({number(first, what), number(second, what)});
}

std::array<double, 2> toPair(const Json& value, const char* what)
{
    requireArray(value, what);
    if (value.size() != 2)
        throw JsonDecodeError(std::string(what) + ": expected two numbers");
    return {toDouble(value[0], what), toDouble(value[1], what)};
}

int toInt(const Json& value, const char* what)
{
    const std::int64_t n = toInteger(value, what);
    if (n < std::numeric_limits<int>::min() || n > std::numeric_limits<int>::max())
        throw JsonDecodeError(std::string(what) + ": integer out of range");
    return int(n);
}

} // namespace vorlith::json
