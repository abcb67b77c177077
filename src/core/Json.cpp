#include "core/Json.h"

#include <cmath>
#include <limits>

namespace vorlith::json {

namespace {
[[noreturn]] void fail(const std::string& message)
{
    throw JsonDecodeError(message);
}
} // namespace

Json number(double value, const char* what)
{
    if (!std::isfinite(value))
        throw JsonEncodeError(std::string("non-finite number in ") + what);
    if (value == 0)
        value = 0; // folds -0.0
    return Json(value);
}

const Json& requireObject(const Json& value, const char* what)
{
    if (!value.is_object())
        fail(std::string(what) + ": expected an object");
    return value;
}

const Json& requireArray(const Json& value, const char* what)
{
    if (!value.is_array())
        fail(std::string(what) + ": expected an array");
    return value;
}

const Json& requireKey(const Json& object, const char* key)
{
    requireObject(object, key);
    const auto it = object.find(key);
    if (it == object.end())
        fail(std::string("missing key \"") + key + "\"");
    return *it;
}

bool isAbsent(const Json& object, const char* key)
{
    const auto it = object.find(key);
    return it == object.end() || it->is_null();
}

double toDouble(const Json& value, const char* what)
{
    if (!value.is_number())
        fail(std::string(what) + ": expected a number");
    return value.get<double>();
}

std::int64_t toInteger(const Json& value, const char* what)
{
    // nlohmann counts unsigned numbers as integers too: ask about unsigned first, or a number
    // above the signed range wraps around to a negative one.
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            fail(std::string(what) + ": integer out of range");
        return std::int64_t(u);
    }
    if (value.is_number_integer())
        return value.get<std::int64_t>();
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && std::abs(d) < 9.0e18)
            return std::int64_t(d);
    }
    fail(std::string(what) + ": expected an integer");
}

std::string toString(const Json& value, const char* what)
{
    if (!value.is_string())
        fail(std::string(what) + ": expected a string");
    return value.get<std::string>();
}

Json parse(const std::string& text)
{
    try {
        return Json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        fail(std::string("malformed JSON: ") + e.what());
    }
}

} // namespace vorlith::json
