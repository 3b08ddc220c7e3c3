#include "core/common/iso8601_date.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

using namespace std::chrono;

Date utc(int y, unsigned m, unsigned d, int hh, int mm, int ss) {
    return Date{sys_days{year{y} / month{m} / day{d}} + hours{hh} + minutes{mm} + seconds{ss}};
}

TEST(ISO8601Date, FormatsWholeSecondsInUtc) {
    EXPECT_EQ(formatISO8601(utc(2024, 3, 5, 14, 7, 9)), "2024-03-05T14:07:09Z");
    EXPECT_EQ(formatISO8601(utc(2024, 3, 5, 14, 7, 9) + milliseconds{999}), "2024-03-05T14:07:09Z");
    // Before 1970 the fraction still rounds towards the past, not towards the epoch.
    EXPECT_EQ(formatISO8601(utc(1969, 12, 31, 23, 59, 59) + milliseconds{500}),
              "1969-12-31T23:59:59Z");
}

TEST(ISO8601Date, ParsesUtcAndOffsets) {
    EXPECT_EQ(parseISO8601("2024-03-05T14:07:09Z"), utc(2024, 3, 5, 14, 7, 9));
    EXPECT_EQ(parseISO8601("2024-03-05T16:07:09+02:00"), utc(2024, 3, 5, 14, 7, 9));
    EXPECT_EQ(parseISO8601("2024-03-04T23:37:09-14:30"), utc(2024, 3, 5, 14, 7, 9));
    EXPECT_EQ(parseISO8601("2024-02-29T00:00:00Z"), utc(2024, 2, 29, 0, 0, 0));
    const Date date = utc(2031, 11, 30, 1, 2, 3);
    EXPECT_EQ(parseISO8601(formatISO8601(date)), date);
}

TEST(ISO8601Date, RejectsEverythingElse) {
    for (const char* text :
         {"2024-03-05T14:07:09.250Z", "2024-03-05T14:07:09", "2024-03-05 14:07:09Z",
          "2024-03-05t14:07:09z", "2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z",
          "2024-03-05T24:00:00Z", "2024-03-05T14:60:00Z", "2024-03-05T14:07:60Z",
          "2024-03-05T14:07:09+0200", "2024-03-05T14:07:09+24:00", "+024-03-05T14:07:09Z",
          "2024-3-5T14:07:09Z", "9999-12-31T23:59:59Z", "", "yesterday"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseISO8601(text).has_value());
    }
}

TEST(ISO8601Date, JsonValuesAreStrings) {
    EXPECT_EQ(json::encodeDate(utc(2024, 3, 5, 14, 7, 9)), json::Json("2024-03-05T14:07:09Z"));
    EXPECT_EQ(json::decodeDate(json::Json("2024-03-05T14:07:09Z"), {}), utc(2024, 3, 5, 14, 7, 9));
    try {
        json::decodeDate(json::Json("2024-03-05T14:07:09.5Z"), CodingPath() / "createdAt");
        ADD_FAILURE() << "a fractional date decoded";
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(error.codingPath().dotted(), "createdAt");
    }
    EXPECT_THROW(json::decodeDate(json::Json(1700000000), {}), DecodingError);
}

}  // namespace
}  // namespace quillmere
