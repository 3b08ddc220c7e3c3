#include "core/edit/sharpening_settings.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/edit/coding_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Kind = DecodingError::Kind;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

SharpeningSettings decoded(const char* text) {
    return SharpeningSettings::decode(json::parse(text));
}

TEST(SharpeningSettings, SanitizedClampsAndGivesNonFiniteValuesTheirNeutralValue) {
    const SharpeningSettings nonFinite{
        .amount = kInfinity, .radius = kNaN, .detail = -kInfinity, .masking = kNaN};
    EXPECT_EQ(nonFinite.sanitized(), SharpeningSettings::neutral());
    const SharpeningSettings outOfRange{
        .amount = -3, .radius = 7, .detail = 101, .masking = -1, .preserveRAWTexture = true};
    EXPECT_EQ(outOfRange.sanitized(),
              (SharpeningSettings{.radius = 3, .detail = 100, .preserveRAWTexture = true}));
    EXPECT_EQ(SharpeningSettings::classic().sanitized(), SharpeningSettings::classic());

    SharpeningSettings classic = SharpeningSettings::classic();
    classic.amount = 0;
    EXPECT_EQ(classic, SharpeningSettings::neutral());
}

TEST(SharpeningSettingsCoding, MissingKeysAreNeutralAndReadValuesAreSanitised) {
    EXPECT_EQ(decoded(R"({"amount": null, "unknown": "x"})"), SharpeningSettings::neutral());
    EXPECT_EQ(decoded(R"({"amount": 500})"), (SharpeningSettings{.amount = 150}));
    EXPECT_EQ(decoded(R"({"radius": 0.1})").radius, 0.5);
    EXPECT_EQ(decoded(R"({"radius": 10, "detail": -4, "masking": 250})"),
              (SharpeningSettings{.radius = 3, .detail = 0, .masking = 100}));
    EXPECT_EQ(decodingErrorOf([] { decoded(R"({"preserveRAWTexture": 1})"); }).kind(),
              Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([] { decoded(R"({"amount": "40"})"); }).kind(), Kind::typeMismatch);
    EXPECT_EQ(decodingErrorOf([] { decoded("[]"); }).kind(), Kind::typeMismatch);
}

TEST(SharpeningSettingsCoding, EncodingWritesTheStoredValuesUnsanitised) {
    const SharpeningSettings settings{.amount = 400, .radius = 0.2, .preserveRAWTexture = true};
    EXPECT_EQ(settings.encode(), json::parse(R"({"amount": 400, "radius": 0.2, "detail": 25,
                                              "masking": 0, "preserveRAWTexture": true})"));
    EXPECT_THROW((SharpeningSettings{.detail = kNaN}.encode()), EncodingError);
}

}  // namespace
}  // namespace quillmere
