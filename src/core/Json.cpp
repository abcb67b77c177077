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

template<class J>
const J& requireObject(const J& value, const char* what)
{
    if (!value.is_object())
        fail(std::string(what) + ": expected an object");
    return value;
}

template<class J>
const J& requireArray(const J& value, const char* what)
{
    if (!value.is_array())
        fail(std::string(what) + ": expected an array");
    return value;
}

template<class J>
const J& requireKey(const J& object, const char* key)
{
    requireObject(object, key);
    const auto it = object.find(key);
    if (it == object.end())
        fail(std::string("missing key \"") + key + "\"");
    return *it;
}

template<class J>
bool isAbsent(const J& object, const char* key)
{
    const auto it = object.find(key);
    return it == object.end() || it->is_null();
}

template<class J>
double toDouble(const J& value, const char* what)
{
    if (!value.is_number())
        fail(std::string(what) + ": expected a number");
    return value.template get<double>();
}

template<class J>
std::int64_t toInteger(const J& value, const char* what)
{
    // nlohmann counts unsigned numbers as integers too: ask about unsigned first, or a number
    // above the signed range wraps around to a negative one.
    if (value.is_number_unsigned()) {
        const auto u = value.template get<std::uint64_t>();
        if (u > std::uint64_t(std::numeric_limits<std::int64_t>::max()))
            fail(std::string(what) + ": integer out of range");
        return std::int64_t(u);
    }
    if (value.is_number_integer())
        return value.template get<std::int64_t>();
    if (value.is_number_float()) {
        const double d = value.template get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && std::abs(d) < 9.0e18)
            return std::int64_t(d);
    }
    fail(std::string(what) + ": expected an integer");
}

template<class J>
std::string toString(const J& value, const char* what)
{
    if (!value.is_string())
        fail(std::string(what) + ": expected a string");
    return value.template get<std::string>();
}

namespace {
template<class J>
J parseAs(const std::string& text)
{
    try {
        return J::parse(text);
    } catch (const nlohmann::json::exception& e) {
        fail(std::string("malformed JSON: ") + e.what());
    }
}
} // namespace

Json parse(const std::string& text)
{
    return parseAs<Json>(text);
}

PlainJson parsePlain(const std::string& text)
{
    return parseAs<PlainJson>(text);
}

#define VORLITH_JSON_READERS(J)                                             \
    template const J& requireObject<J>(const J&, const char*);              \
    template const J& requireArray<J>(const J&, const char*);               \
    template const J& requireKey<J>(const J&, const char*);                 \
    template bool isAbsent<J>(const J&, const char*);                       \
    template double toDouble<J>(const J&, const char*);                     \
    template std::int64_t toInteger<J>(const J&, const char*);              \
    template std::string toString<J>(const J&, const char*);
VORLITH_JSON_READERS(Json)
VORLITH_JSON_READERS(PlainJson)
#undef VORLITH_JSON_READERS

} // namespace vorlith::json
