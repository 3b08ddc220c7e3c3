#include "core/common/json_coding.h"

#include <cmath>
#include <limits>

namespace quillmere::json {

Json parse(std::string_view text) {
    try {
        return Json::parse(text);
    } catch (const Json::exception& error) {
        throw DecodingError::dataCorrupted({}, std::string("The given data was not valid JSON. ") +
                                                   error.what());
    }
}

std::string dumpPretty(const Json& value) {
    return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string dumpCompact(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string dumpCompact(const OrderedJson& value) {
    return value.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

double decodeDouble(const Json& value, const CodingPath& path) {
    if (!value.is_number()) throw DecodingError::typeMismatch(path, "a number");
    return value.get<double>();
}

bool decodeBool(const Json& value, const CodingPath& path) {
    if (!value.is_boolean()) throw DecodingError::typeMismatch(path, "a boolean");
    return value.get<bool>();
}

std::string decodeString(const Json& value, const CodingPath& path) {
    if (!value.is_string()) throw DecodingError::typeMismatch(path, "a string");
    return value.get<std::string>();
}

std::int64_t decodeInt(const Json& value, const CodingPath& path) {
    if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<std::int64_t>();
    if (value.is_number_unsigned()) {
        const auto unsignedValue = value.get<std::uint64_t>();
        if (unsignedValue <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return static_cast<std::int64_t>(unsignedValue);
        }
    } else if (value.is_number_float()) {
        const double number = value.get<double>();
        // 2^63 is exactly representable; anything at or above it does not fit.
        if (std::isfinite(number) && std::trunc(number) == number && number >= -0x1p63 &&
            number < 0x1p63) {
            return static_cast<std::int64_t>(number);
        }
    } else {
        throw DecodingError::typeMismatch(path, "an integer");
    }
    throw DecodingError::dataCorrupted(path, "Parsed JSON number " + value.dump() +
                                                 " does not fit in Int.");
}

void requireObject(const Json& value, const CodingPath& path) {
    if (!value.is_object()) throw DecodingError::typeMismatch(path, "a keyed container");
}

void requireArray(const Json& value, const CodingPath& path) {
    if (!value.is_array()) throw DecodingError::typeMismatch(path, "an array");
}

const Json* presentValue(const Json& object, std::string_view key) {
    auto found = object.find(key);
    if (found == object.end() || found->is_null()) return nullptr;
    return &*found;
}

Json encodeDouble(double value, const CodingPath& path) {
    if (!std::isfinite(value)) {
        throw EncodingError(path, "Unable to encode the non-finite number " +
                                      std::to_string(value) + " in JSON.");
    }
    return Json(value);
}

}  // namespace quillmere::json
