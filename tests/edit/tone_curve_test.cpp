#include "core/edit/tone_curve.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/edit/coding_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Kind = DecodingError::Kind;
using Points = std::vector<CurvePoint>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(ToneCurve, IdentityAcceptsShortListsAndPointsOnTheDiagonalInOrder) {
    EXPECT_TRUE(ToneCurve::identity().isIdentity());
    EXPECT_TRUE((ToneCurve{{}, {}, {{128, 200}}, {{3, 9}}}).isIdentity());
    EXPECT_TRUE(ToneCurve::isIdentityChannel({{0, 0}, {100, 100.00005}, {255, 255}}));
    EXPECT_FALSE(ToneCurve::isIdentityChannel({{0, 0}, {100, 100.001}, {255, 255}}));
    EXPECT_TRUE(ToneCurve::isIdentityChannel({{10, 10}, {20, 20}}));
    EXPECT_TRUE(ToneCurve::isIdentityChannel({{0, 0}, {50, 50.00001}, {50, 50}}));
    EXPECT_FALSE(ToneCurve::isIdentityChannel({{255, 255}, {0, 0}}));
    EXPECT_FALSE(ToneCurve::isIdentityChannel({{0, 0}, {kNaN, kNaN}}));
    EXPECT_FALSE(ToneCurve::isIdentityChannel({{0, 0}, {kInfinity, kInfinity}}));
    EXPECT_FALSE((ToneCurve{.blue = {{0, 0}, {128, 140}}}).isIdentity());
}

TEST(MonotoneCurveEvaluator, DegenerateListsGiveTheIdentityLine) {
    for (const Points& points :
         {Points{}, Points{{128, 200}}, Points{{300, 40}, {400, 90}}, Points{{255, 255}, {0, 0}}}) {
        const MonotoneCurveEvaluator evaluator(points);
        EXPECT_EQ(evaluator.xs(), (std::vector<double>{0, 255}));
        EXPECT_EQ(evaluator.value(100), 100);
    }
}

TEST(MonotoneCurveEvaluator, IsFlatOutsideItsKnots) {
    const MonotoneCurveEvaluator evaluator({{10, 10}, {20, 20}});
    EXPECT_EQ(evaluator.value(-50), 10);
    EXPECT_EQ(evaluator.value(10), 10);
    EXPECT_DOUBLE_EQ(evaluator.value(15), 15);
    EXPECT_EQ(evaluator.value(20), 20);
    EXPECT_EQ(evaluator.value(1000), 20);
}

TEST(MonotoneCurveEvaluator, ClampsSortsAndLetsTheLaterOfEqualXWin) {
    const MonotoneCurveEvaluator evaluator({{255, 300}, {128, 50}, {-20, -5}, {128, 200}});
    EXPECT_EQ(evaluator.xs(), (std::vector<double>{0, 128, 255}));
    EXPECT_EQ(evaluator.ys(), (std::vector<double>{0, 200, 255}));
    EXPECT_EQ(evaluator.value(128), 200);
}

TEST(MonotoneCurveEvaluator, FlatSegmentStaysExactlyFlat) {
    const MonotoneCurveEvaluator evaluator({{0, 0}, {64, 128}, {192, 128}, {255, 255}});
    EXPECT_EQ(evaluator.tangents()[1], 0);
    EXPECT_EQ(evaluator.tangents()[2], 0);
    EXPECT_EQ(evaluator.value(100), 128);
}

TEST(MonotoneCurveEvaluator, NeverOvershootsOrReversesOnAMonotoneList) {
    // The steep first segment makes the tangent limiter act at the middle knot.
    const MonotoneCurveEvaluator evaluator({{0, 0}, {10, 200}, {255, 255}});
    double previous = 0;
    for (double x = -10; x <= 265; x += 0.25) {
        const double y = evaluator.value(x);
        EXPECT_GE(y, previous) << "at x " << x;
        EXPECT_LE(y, x <= 10 ? 200 : 255) << "at x " << x;
        previous = y;
    }
}

TEST(MonotoneCurveEvaluator, DropsPointsWithANaNCoordinateAndClampsInfinities) {
    const MonotoneCurveEvaluator withoutNaN({{0, 0}, {kNaN, 100}, {128, kNaN}, {255, 255}});
    EXPECT_EQ(withoutNaN.xs(), (std::vector<double>{0, 255}));
    EXPECT_DOUBLE_EQ(withoutNaN.value(128), 128);

    const MonotoneCurveEvaluator clamped({{-kInfinity, 30}, {kInfinity, kInfinity}});
    EXPECT_EQ(clamped.xs(), (std::vector<double>{0, 255}));
    EXPECT_EQ(clamped.ys(), (std::vector<double>{30, 255}));
    EXPECT_EQ(clamped.value(kNaN), 0);  // never a NaN level
}

TEST(ToneCurveTable, SamplesEachChannelInRgbRedGreenBlueOrder) {
    const std::vector<float> identity = ToneCurve::identity().lut(256);
    ASSERT_EQ(identity.size(), 1024u);
    for (std::size_t entry = 0; entry < identity.size(); ++entry) {
        EXPECT_FLOAT_EQ(identity[entry], static_cast<float>((entry % 256) / 255.0));
    }

    const ToneCurve curve{{{0, 20}, {255, 230}}, {{0, 0}, {255, 102}}, {{0, 255}, {255, 255}}, {}};
    EXPECT_EQ(curve.lut(2),
              (std::vector<float>{static_cast<float>(20 / 255.0), static_cast<float>(230 / 255.0),
                                  0, 0.4f, 1, 1, 0, 1}));
    for (int resolution : {1, 0, -4}) EXPECT_TRUE(curve.lut(resolution).empty());
}

TEST(ToneCurveCoding, PointsRoundTripExactlyAsPlaced) {
    const ToneCurve curve{.red = {{200, 10}, {-4, 300}, {200, 10}}, .green = {}};
    const json::Json encoded = curve.encode();
    EXPECT_EQ(testing::keysOf(encoded), (std::vector<std::string>{"blue", "green", "red", "rgb"}));
    EXPECT_EQ(encoded["red"][1], json::parse(R"({"x": -4, "y": 300})"));
    EXPECT_EQ(ToneCurve::decode(json::parse(encoded.dump())), curve);
    EXPECT_THROW((ToneCurve{.rgb = {{kNaN, 3}}}.encode()), EncodingError);
}

TEST(ToneCurveCoding, EveryChannelAndCoordinateIsRequired) {
    const auto missing = decodingErrorOf(
        [] { ToneCurve::decode(json::parse(R"({"rgb": [], "red": [], "green": []})")); });
    EXPECT_EQ(missing.kind(), Kind::keyNotFound);
    EXPECT_EQ(missing.codingPath().dotted(), "blue");

    EXPECT_TRUE(ToneCurve::decode(json::parse(R"({"rgb": [], "red": [], "green": [], "blue": []})"))
                    .isIdentity());

    const auto nullY = decodingErrorOf([] {
        ToneCurve::decode(
            json::parse(R"({"rgb": [{"x": 1, "y": null}], "red": [], "green": [], "blue": []})"));
    });
    EXPECT_EQ(nullY.kind(), Kind::valueNotFound);
    EXPECT_EQ(nullY.codingPath().dotted(), "rgb.Index 0.y");
    EXPECT_EQ(
        decodingErrorOf([] { CurvePoint::decode(json::parse(R"({"x": "1", "y": 2})")); }).kind(),
        Kind::typeMismatch);
}

}  // namespace
}  // namespace quillmere
