#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vorlith {

// Key order is part of the written form, so every encoder builds ordered objects.
using Json = nlohmann::ordered_json;
// For formats whose key order carries no meaning. Its objects are sorted maps, so parsing one
// costs n log n in its keys; the ordered type searches its whole vector for every key it adds.
using PlainJson = nlohmann::json;

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

// The readers serve both JSON types (instantiated for Json and PlainJson in Json.cpp).
template<class J> const J& requireObject(const J& value, const char* what);
template<class J> const J& requireArray(const J& value, const char* what);
template<class J> const J& requireKey(const J& object, const char* key);
// True when the key is missing or null: the form optional values take.
template<class J> bool isAbsent(const J& object, const char* key);

template<class J> double toDouble(const J& value, const char* what);
// An integral JSON number (1 or 1.0), within int64.
template<class J> std::int64_t toInteger(const J& value, const char* what);
template<class J> std::string toString(const J& value, const char* what);

template<class J> double requireDouble(const J& object, const char* key) { return toDouble(requireKey(object, key), key); }
template<class J> std::string requireString(const J& object, const char* key) { return toString(requireKey(object, key), key); }

// Parses text into a Json tree; a syntax error becomes JsonDecodeError.
Json parse(const std::string& text);
// The same into the plain type.
PlainJson parsePlain(const std::string& text);

} // namespace json
} // namespace vorlith
