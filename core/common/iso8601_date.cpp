#include "core/common/iso8601_date.h"

#include <fmt/format.h>

namespace quillmere {
namespace {

using std::chrono::days;
using std::chrono::seconds;

// The digits at [offset, offset + count) as a number, or -1 when one of them is not a digit.
int digitsAt(std::string_view text, std::size_t offset, std::size_t count) {
    int value = 0;
    for (std::size_t index = offset; index < offset + count; ++index) {
        const char c = text[index];
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// The zone designator's offset from UTC in seconds, or nothing when it is not "Z" or "±HH:MM".
std::optional<int> utcOffsetSeconds(std::string_view zone) {
    if (zone == "Z") return 0;
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':') {
        return std::nullopt;
    }
    const int hours = digitsAt(zone, 1, 2);
    const int minutes = digitsAt(zone, 4, 2);
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) return std::nullopt;
    const int offset = (hours * 60 + minutes) * 60;
    return zone[0] == '+' ? offset : -offset;
}

constexpr std::chrono::sys_seconds kFirstWritable =
    std::chrono::sys_days{std::chrono::year{1} / std::chrono::January / 1};
constexpr std::chrono::sys_seconds kLastWritable =
    std::chrono::sys_days{std::chrono::year{9999} / std::chrono::December / 31} +
    std::chrono::hours{23} + std::chrono::minutes{59} + seconds{59};

// Compared as doubles, so that no moment, however far off, is converted to an integer first.
bool isWritable(Date date) {
    return date >= Date(kFirstWritable) && date < Date(kLastWritable + seconds{1});
}

}  // namespace

std::optional<std::string> formatISO8601(Date date) {
    if (!isWritable(date)) return std::nullopt;
    const auto wholeSeconds = std::chrono::floor<seconds>(date);
    const auto day = std::chrono::floor<days>(wholeSeconds);
    const std::chrono::year_month_day calendarDate{day};
    const std::chrono::hh_mm_ss time{wholeSeconds - day};
    return fmt::format(
        "{:04}-{:02}-{:02}T{:02}:{:02}:{:02}Z", static_cast<int>(calendarDate.year()),
        static_cast<unsigned>(calendarDate.month()), static_cast<unsigned>(calendarDate.day()),
        time.hours().count(), time.minutes().count(), time.seconds().count());
}

std::optional<Date> parseISO8601(std::string_view text) {
    constexpr std::size_t kDateTimeLength = 19;  // "YYYY-MM-DDTHH:MM:SS"
    if (text.size() < kDateTimeLength || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    const int year = digitsAt(text, 0, 4);
    const int month = digitsAt(text, 5, 2);
    const int day = digitsAt(text, 8, 2);
    const int hour = digitsAt(text, 11, 2);
    const int minute = digitsAt(text, 14, 2);
    const int second = digitsAt(text, 17, 2);
    const auto offset = utcOffsetSeconds(text.substr(kDateTimeLength));
    if (year < 0 || month < 0 || day < 0 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || !offset) {
        return std::nullopt;
    }
    const std::chrono::year_month_day calendarDate{std::chrono::year{year},
                                                   std::chrono::month{static_cast<unsigned>(month)},
                                                   std::chrono::day{static_cast<unsigned>(day)}};
    if (!calendarDate.ok()) return std::nullopt;

    const std::chrono::sys_seconds utc = std::chrono::sys_days{calendarDate} +
                                         std::chrono::hours{hour} + std::chrono::minutes{minute} +
                                         seconds{second - *offset};
    // An offset can carry a moment past either end ("9999-12-31T23:59:59-01:00").
    if (!isWritable(utc)) return std::nullopt;
    return utc;
}

namespace json {

Json encodeDate(Date date, const CodingPath& path) {
    std::optional<std::string> text = formatISO8601(date);
    if (!text) throw EncodingError(path, "A date must lie in the years 0001 to 9999.");
    return Json(std::move(*text));
}

Date decodeDate(const Json& value, const CodingPath& path) {
    const auto date = parseISO8601(decodeString(value, path));
    if (!date)
        throw DecodingError::dataCorrupted(path, "Expected date string to be ISO8601-formatted.");
    return *date;
}

}  // namespace json
}  // namespace quillmere
