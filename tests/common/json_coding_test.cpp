#include "core/common/json_coding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

namespace quillmere::json {
namespace {

using Kind = DecodingError::Kind;

Kind kindOf(const std::function<void()>& decode) {
    try {
        decode();
    } catch (const DecodingError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "expected a DecodingError";
    return Kind::dataCorrupted;
}

TEST(JsonCoding, ValuesMustHaveTheirJsonTypeAndFit) {
    EXPECT_EQ(decodeInt(Json(4.0), {}), 4);
    EXPECT_EQ(kindOf([] { decodeDouble(Json("1"), {}); }), Kind::typeMismatch);
    EXPECT_EQ(kindOf([] { decodeBool(Json(1), {}); }), Kind::typeMismatch);
    EXPECT_EQ(kindOf([] { decodeInt(Json(4.5), {}); }), Kind::dataCorrupted);
    EXPECT_EQ(kindOf([] { decodeInt(Json(1e30), {}); }), Kind::dataCorrupted);
    EXPECT_EQ(kindOf([] { parse("{\"a\": "); }), Kind::dataCorrupted);
    EXPECT_EQ(kindOf([] { parse("[1e400]"); }), Kind::dataCorrupted);
}

TEST(JsonCoding, AbsentAndNullKeepTheDefaultPresentMustDecodeRequiredMustExist) {
    const Json object = parse(R"({"a": null, "b": 2, "c": "x"})");
    double a = 1, b = 1, missing = 1, c = 1;
    decodeIfPresent(object, "a", {}, a, decodeDouble);
    decodeIfPresent(object, "b", {}, b, decodeDouble);
    decodeIfPresent(object, "missing", {}, missing, decodeDouble);
    EXPECT_EQ(std::tuple(a, b, missing), std::tuple(1.0, 2.0, 1.0));
    EXPECT_EQ(kindOf([&] { decodeIfPresent(object, "c", {}, c, decodeDouble); }),
              Kind::typeMismatch);
    EXPECT_EQ(kindOf([&] { decodeRequired(object, "z", {}, decodeDouble); }), Kind::keyNotFound);
    EXPECT_EQ(kindOf([&] { decodeRequired(object, "a", {}, decodeDouble); }), Kind::valueNotFound);
}

TEST(JsonCoding, NonFiniteNumbersAreNeverWritten) {
    EXPECT_THROW(encodeDouble(std::nan("")), EncodingError);
    EXPECT_THROW(encodeDouble(-std::numeric_limits<double>::infinity()), EncodingError);
}

}  // namespace
}  // namespace quillmere::json
