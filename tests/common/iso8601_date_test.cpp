#include "core/common/iso8601_date.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace std::chrono;

Date utc(year_month_day day, seconds timeOfDay) { return Date{sys_days{day} + timeOfDay}; }

TEST(ISO8601Date, WritesWholeUtcSecondsWithinFourDigitYears) {
    EXPECT_EQ(formatISO8601(utc(1969y / 12 / 31, 23h + 59min + 59s) + 500ms),
              "1969-12-31T23:59:59Z");  // rounded towards the past
    const Date last = utc(9999y / 12 / 31, 23h + 59min + 59s);
    EXPECT_EQ(json::encodeDate(last + 500ms), json::Json("9999-12-31T23:59:59Z"));
    EXPECT_EQ(formatISO8601(last + 1s), std::nullopt);
    EXPECT_THROW(json::encodeDate(utc(1y / 1 / 1, 0s) - 1ms), EncodingError);
}

TEST(ISO8601Date, ParsesUtcAndOffsetsAndRejectsEverythingElse) {
    const Date expected = utc(2024y / 3 / 5, 14h + 7min + 9s);
    EXPECT_EQ(parseISO8601("2024-03-05T14:07:09Z"), expected);
    EXPECT_EQ(parseISO8601("2024-03-05T16:07:09+02:00"), expected);
    EXPECT_EQ(parseISO8601("2024-03-04T23:37:09-14:30"), expected);
    // The first and the last instants a date can be written at read back whole.
    EXPECT_EQ(parseISO8601("0001-01-01T00:00:00Z"), utc(1y / 1 / 1, 0s));
    EXPECT_EQ(parseISO8601("9999-12-31T23:59:59Z"), utc(9999y / 12 / 31, 23h + 59min + 59s));
    for (const char* text :
         {"2024-03-05T14:07:09.250Z", "2024-03-05T14:07:09", "2023-02-29T00:00:00Z",
          "2024-03-05T24:00:00Z", "2024-03-05T14:07:09+0200", "0001-01-01T00:00:00+00:01", ""}) {
        EXPECT_FALSE(parseISO8601(text).has_value()) << text;
    }
    EXPECT_THROW(json::decodeDate(json::Json("2024-03-05T14:07:09.5Z"), {}), DecodingError);
}

}  // namespace
}  // namespace quillmere
