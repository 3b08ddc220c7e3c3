#include "core/common/json_coding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillmere::json {
namespace {

using Kind = DecodingError::Kind;

template <class Function>
DecodingError decodingErrorOf(Function function) {
    try {
        function();
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a DecodingError";
    return DecodingError::dataCorrupted({}, "none");
}

TEST(JsonCoding, NumbersAreOnlyJsonNumbers) {
    EXPECT_EQ(decodeDouble(Json(3), {}), 3.0);
    EXPECT_EQ(decodeDouble(Json(-2.5), {}), -2.5);
    EXPECT_EQ(decodingErrorOf([] { decodeDouble(Json(true), {}); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([] { decodeDouble(Json("1"), {}); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([] { decodeBool(Json(1), {}); }).kind(), Kind::typeMismatch);
}

TEST(JsonCoding, IntegersMustBeIntegralAndFit) {
    EXPECT_EQ(decodeInt(Json(-7), {}), -7);
    EXPECT_EQ(decodeInt(Json(4.0), {}), 4);
    EXPECT_EQ(decodingErrorOf([] { decodeInt(Json(4.5), {}); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(decodingErrorOf([] { decodeInt(Json(1e30), {}); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(decodingErrorOf([] {
                  decodeInt(Json(std::numeric_limits<std::uint64_t>::max()), {});
              }).kind(),
              Kind::dataCorrupted);
}

TEST(JsonCoding, AbsentAndNullKeepTheDefaultPresentMustDecode) {
    const Json object = parse(R"({"a": null, "b": 2, "c": "x"})");
    double a = 1, b = 1, missing = 1;
    decodeIfPresent(object, "a", {}, a, decodeDouble);
    decodeIfPresent(object, "b", {}, b, decodeDouble);
    decodeIfPresent(object, "missing", {}, missing, decodeDouble);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(missing, 1);

    double c = 1;
    const auto error = decodingErrorOf(
        [&] { decodeIfPresent(object, "c", CodingPath() / "top", c, decodeDouble); });
    EXPECT_EQ(error.kind(), Kind::typeMismatch);
    EXPECT_EQ(error.codingPath().dotted(), "top.c");
    EXPECT_STREQ(error.what(), "The data couldn’t be read because it isn’t in the correct format.");
}

TEST(JsonCoding, RequiredKeysReportMissingAndNull) {
    const Json object = parse(R"({"a": null})");
    const auto missing = decodingErrorOf([&] { decodeRequired(object, "b", {}, decodeDouble); });
    EXPECT_EQ(missing.kind(), Kind::keyNotFound);
    EXPECT_EQ(missing.codingPath().dotted(), "b");
    EXPECT_STREQ(missing.what(), "The data couldn’t be read because it is missing.");
    EXPECT_EQ(decodingErrorOf([&] { decodeRequired(object, "a", {}, decodeDouble); }).kind(),
              Kind::valueNotFound);
}

TEST(JsonCoding, MalformedTextIsDataCorrupted) {
    EXPECT_EQ(decodingErrorOf([] { parse("{\"a\": "); }).kind(), Kind::dataCorrupted);
    EXPECT_EQ(decodingErrorOf([] { parse("[1e400]"); }).kind(), Kind::dataCorrupted);
}

TEST(JsonCoding, NonFiniteNumbersAreNeverWritten) {
    EXPECT_EQ(encodeDouble(1.5), Json(1.5));
    EXPECT_THROW(encodeDouble(std::nan("")), EncodingError);
    EXPECT_THROW(encodeDouble(-std::numeric_limits<double>::infinity()), EncodingError);
}

TEST(JsonCoding, PrettyOutputSortsKeys) {
    const std::string text = dumpPretty(parse(R"({"b": 1, "a": 2})"));
    EXPECT_LT(text.find("\"a\""), text.find("\"b\""));
    EXPECT_NE(text.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace quillmere::json
