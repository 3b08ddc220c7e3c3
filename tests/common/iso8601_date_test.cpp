#include "core/common/iso8601_date.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillmere {
namespace {

using namespace std::chrono;

Date utc(year_month_day day, seconds timeOfDay) { return Date{sys_days{day} + timeOfDay}; }

TEST(ISO8601Date, FormatsWholeSecondsInUtcRoundingTowardsThePast) {
    EXPECT_EQ(formatISO8601(utc(2024y / 3 / 5, 14h + 7min + 9s) + 999ms), "2024-03-05T14:07:09Z");
    EXPECT_EQ(formatISO8601(utc(1969y / 12 / 31, 23h + 59min + 59s) + 500ms),
              "1969-12-31T23:59:59Z");
    EXPECT_EQ(json::encodeDate(utc(2024y / 3 / 5, 0s)), json::Json("2024-03-05T00:00:00Z"));
}

TEST(ISO8601Date, SpansTheFourDigitYearsAndRefusesToWriteBeyondThem) {
    const Date first = utc(1y / 1 / 1, 0s);
    const Date last = utc(9999y / 12 / 31, 23h + 59min + 59s);
    EXPECT_EQ(parseISO8601("0001-01-01T00:00:00Z"), first);
    EXPECT_EQ(parseISO8601("9999-12-31T23:59:59Z"), last);
    EXPECT_EQ(json::encodeDate(last + 500ms), json::Json("9999-12-31T23:59:59Z"));
    for (const Date outside :
         {Date(first - 1ms), Date(last + 1s), Date(duration<double>(std::nan("")))}) {
        EXPECT_EQ(formatISO8601(outside), std::nullopt);
        EXPECT_THROW(json::encodeDate(outside), EncodingError);
    }
}

TEST(ISO8601Date, ParsesUtcAndOffsets) {
    const Date expected = utc(2024y / 3 / 5, 14h + 7min + 9s);
    EXPECT_EQ(parseISO8601("2024-03-05T14:07:09Z"), expected);
    EXPECT_EQ(parseISO8601("2024-03-05T16:07:09+02:00"), expected);
    EXPECT_EQ(parseISO8601("2024-03-04T23:37:09-14:30"), expected);
    EXPECT_EQ(parseISO8601("2024-02-29T00:00:00Z"), utc(2024y / 2 / 29, 0s));
    EXPECT_EQ(json::decodeDate(json::Json("2024-03-05T14:07:09Z"), {}), expected);
}

TEST(ISO8601Date, RejectsFractionsAndEverythingElse) {
    for (const char* text :
         {"2024-03-05T14:07:09.250Z", "2024-03-05T14:07:09", "2024-03-05 14:07:09Z",
          "2023-02-29T00:00:00Z", "2024-13-01T00:00:00Z", "2024-03-05T24:00:00Z",
          "2024-03-05T14:07:60Z", "2024-03-05T14:07:09+0200", "+024-03-05T14:07:09Z",
          "0001-01-01T00:00:00+00:01", "9999-12-31T23:59:59-00:01", "0000-12-31T23:59:59Z", ""}) {
        EXPECT_FALSE(parseISO8601(text).has_value()) << text;
    }
    try {
        json::decodeDate(json::Json("2024-03-05T14:07:09.5Z"), CodingPath() / "createdAt");
        ADD_FAILURE() << "a fractional date decoded";
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
        EXPECT_EQ(error.codingPath().dotted(), "createdAt");
    }
}

}  // namespace
}  // namespace quillmere
