#pragma once

// Dates in the program's files: ISO 8601 text in UTC with whole seconds, "2024-03-05T14:07:09Z".

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"

namespace quillmere {

using Date = std::chrono::system_clock::time_point;

// Whole seconds in UTC; a fraction of a second is dropped (rounded towards the past).
std::string formatISO8601(Date date);

// "YYYY-MM-DDTHH:MM:SS" followed by "Z" or an offset "+HH:MM" / "-HH:MM". Anything else, a
// fraction of a second included, or a date the clock cannot hold, gives nothing.
std::optional<Date> parseISO8601(std::string_view text);

namespace json {

Json encodeDate(Date date);
// A string in the form above; any other string is a data-corrupted DecodingError.
Date decodeDate(const Json& value, const CodingPath& path);

}  // namespace json
}  // namespace quillmere
