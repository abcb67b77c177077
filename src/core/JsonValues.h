#pragma once

#include "core/Json.h"

#include <array>

namespace vorlith::json {

// The two-number arrays that points, sizes and selections are written as.
Json pair(double first, double second, const char* what); // throws JsonEncodeError
// Exactly two numbers; anything else throws JsonDecodeError.
std::array<double, 2> toPair(const Json& value, const char* what);
// An integral number that fits an int.
int toInt(const Json& value, const char* what);

} // namespace vorlith::json
