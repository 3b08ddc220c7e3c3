#pragma once

// Dates in the program's files: ISO 8601 text in UTC with whole seconds, "2024-03-05T14:07:09Z",
// over the four-digit years 0001 to 9999.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"

namespace quillmere {

// A moment on the system clock as seconds since 1970 in a double, like the platform's own date
// type: it spans every year a file can name (the clock's own nanoseconds end in 1677 and 2262),
// and the current time converts to it as it is (Date now = std::chrono::system_clock::now()).
using Date = std::chrono::sys_time<std::chrono::duration<double>>;

// Whole seconds in UTC; a fraction of a second is dropped (rounded towards the past). Nothing for
// a moment before 0001-01-01T00:00:00Z or after 9999-12-31T23:59:59Z (or not a number), which
// ISO 8601's four-digit years cannot write.
std::optional<std::string> formatISO8601(Date date);

// "YYYY-MM-DDTHH:MM:SS" followed by "Z" or an offset "+HH:MM" / "-HH:MM". Anything else, a
// fraction of a second included, or a moment outside the years above, gives nothing.
std::optional<Date> parseISO8601(std::string_view text);

namespace json {

// A date formatISO8601 cannot write throws EncodingError, rather than write text no reader
// accepts.
Json encodeDate(Date date, const CodingPath& path = {});
// A string in the form above; any other string is a data-corrupted DecodingError.
Date decodeDate(const Json& value, const CodingPath& path);

}  // namespace json
}  // namespace quillmere
