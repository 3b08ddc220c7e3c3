#pragma once

// Strict, typed reading and writing of JSON values over nlohmann::json.
//
// Decoding is tolerant of missing values and strict about present ones: a key that is absent or
// null keeps the caller's default, a present value must decode as its type (a number is only a
// JSON number, never a bool or a string) or a DecodingError names the key path. Encoding refuses
// non-finite numbers, which JSON cannot hold.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/common/coding_error.h"
#include "core/common/coding_path.h"

namespace quillmere::json {

using Json = nlohmann::json;
// Keeps keys in insertion order, for records written in their declaration order (per-photo edit
// files, clipboard payloads). Converts to Json, which sorts the keys.
using OrderedJson = nlohmann::ordered_json;

// Parses text; malformed JSON is a data-corrupted DecodingError.
Json parse(std::string_view text);
// Pretty-printed with sorted keys, as the program's files are written.
std::string dumpPretty(const Json& value);
// Compact, with sorted keys (embedded records).
std::string dumpCompact(const Json& value);
// Compact, keys in insertion order (per-photo edit files, clipboard payloads).
std::string dumpCompact(const OrderedJson& value);

// Value decoders: `value` is the JSON found at `path`.
double decodeDouble(const Json& value, const CodingPath& path);
bool decodeBool(const Json& value, const CodingPath& path);
std::string decodeString(const Json& value, const CodingPath& path);
// An integral number that fits in 64 bits.
std::int64_t decodeInt(const Json& value, const CodingPath& path);
// Throws a type mismatch unless `value` is an object.
void requireObject(const Json& value, const CodingPath& path);
void requireArray(const Json& value, const CodingPath& path);

// The value of `key` in `object`, or nullptr when it is absent or null.
const Json* presentValue(const Json& object, std::string_view key);

// Decodes `key` into `target` when present; absent or null leaves `target` as it is.
template <class T, class Decode>
void decodeIfPresent(const Json& object, std::string_view key, const CodingPath& path, T& target,
                     Decode decode) {
    if (const Json* value = presentValue(object, key)) target = decode(*value, path / key);
}

// Decodes a key that must be there: absent is key-not-found, null is value-not-found.
template <class Decode>
auto decodeRequired(const Json& object, std::string_view key, const CodingPath& path,
                    Decode decode) {
    auto found = object.find(key);
    if (found == object.end()) throw DecodingError::keyNotFound(path, std::string(key));
    if (found->is_null()) throw DecodingError::valueNotFound(path / key, "a non-null");
    return decode(*found, path / key);
}

// Decodes every element of an array with `decodeElement(element, path / index)`.
template <class Decode>
auto decodeArray(const Json& value, const CodingPath& path, Decode decodeElement) {
    requireArray(value, path);
    using Element = decltype(decodeElement(value, path));
    std::vector<Element> elements;
    elements.reserve(value.size());
    for (std::size_t index = 0; index < value.size(); ++index) {
        elements.push_back(decodeElement(value[index], path / index));
    }
    return elements;
}

// A finite number as JSON; a NaN or an infinity throws EncodingError.
Json encodeDouble(double value, const CodingPath& path = {});

}  // namespace quillmere::json
