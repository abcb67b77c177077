#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vorlith {

// Key order is part of the written form, so every encoder builds ordered objects.
using Json = nlohmann::ordered_json;

// Decoding failed: missing key, wrong type, unknown enumeration name, malformed id.
struct JsonDecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Encoding failed: a number was not finite.
struct JsonEncodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

namespace json {

// A finite number ready to write; -0.0 is written as 0. Throws JsonEncodeError otherwise.
Json number(double value, const char* what);

const Json& requireObject(const Json& value, const char* what);
const Json& requireArray(const Json& value, const char* what);
const Json& requireKey(const Json& object, const char* key);
// True when the key is missing or null: the form optional values take.
bool isAbsent(const Json& object, const char* key);

double toDouble(const Json& value, const char* what);
// An integral JSON number (1 or 1.0), within int64.
std::int64_t toInteger(const Json& value, const char* what);
std::string toString(const Json& value, const char* what);

inline double requireDouble(const Json& object, const char* key) { return toDouble(requireKey(object, key), key); }
inline std::string requireString(const Json& object, const char* key) { return toString(requireKey(object, key), key); }

// Parses text into a Json tree; a syntax error becomes JsonDecodeError.
Json parse(const std::string& text);

} // namespace json
} // namespace vorlith
