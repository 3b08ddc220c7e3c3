#include "core/edit/tone_curve.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/edit/edit_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Points = std::vector<CurvePoint>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

TEST(ToneCurve, IdentityMeansPointsOnTheDiagonalInOrderWithinATolerance) {
    EXPECT_TRUE((ToneCurve{{}, {}, {{128, 200}}, {{3, 9}}}).isIdentity());
    EXPECT_TRUE(ToneCurve::isIdentityChannel({{0, 0}, {100, 100.00005}, {255, 255}}));
    EXPECT_FALSE(ToneCurve::isIdentityChannel({{0, 0}, {100, 100.0005}, {255, 255}}));
    EXPECT_FALSE(ToneCurve::isIdentityChannel({{255, 255}, {0, 0}}));
    EXPECT_FALSE(ToneCurve::isIdentityChannel({{0, 0}, {kNaN, kNaN}}));
}

// Point lists as stored (unsorted, out of range, repeated) and the levels the monotone cubic
// with the Fritsch–Carlson limiter gives at the inputs below, from scripts/reference-values:
// flat beyond the end knots, flat across a flat middle, no overshoot at a steep start, slopes
// just beyond the limiter's reach brought back to it.
TEST(MonotoneCurveEvaluator, EvaluatesTheLimitedMonotoneCubic) {
    const double inputs[] = {-50, 5, 15, 37.5, 100, 128, 150, 200, 254, 1000};
    const std::pair<Points, std::vector<double>> cases[] = {
        {{{0, 0}, {64, 40}, {192, 215}, {255, 255}},
         {0, 2.99136638641, 8.37614536285, 20.0612694025, 84.9817548479, 127.420634921,
          161.083761851, 222.311773512, 254.370798759, 255}},
        {{{0, 0}, {10, 200}, {255, 255}},
         {0, 124.15837063, 203.296803017, 216.474811205, 240.754321524, 246.893566594,
          250.153812654, 253.881757514, 254.985170153, 255}},
        {{{0, 0}, {64, 128}, {192, 128}, {255, 255}},
         {0, 10.7202148438, 35.3833007812, 93.196105957, 128, 128, 128, 131.835694889,
          252.952636904, 255}},
        {{{255, 300}, {128, 50}, {-20, -5}, {128, 200}},
         {0, 7.91848738362, 24.3138347085, 62.9802705265, 165.900883712, 200, 218.019810169,
          238.80679724, 254.571340693, 255}},
        {{{10, 10}, {20, 20}}, {10, 10, 15, 20, 20, 20, 20, 20, 20, 20}},
        {{{0, 30}, {40, 90}, {90, 100}, {170, 60}, {255, 250}},
         {30, 37.9921875, 55.6640625, 88.2275390625, 98.28125, 81.49875, 66.25, 98.9822918787,
          247.738717688, 250}},
        {{{300, 40}, {400, 90}}, {0, 5, 15, 37.5, 100, 128, 150, 200, 254, 255}},
        {{{0, 0}, {20, 112}, {40, 132}, {255, 255}},
         {0, 30.5140445965, 91.5421337895, 130.608071313, 170.162718657, 186.122367418,
          198.15845886, 224.823246145, 254.428476625, 255}},
    };
    for (const auto& [points, levels] : cases) {
        const MonotoneCurveEvaluator evaluator(points);
        for (std::size_t i = 0; i < std::size(inputs); ++i) {
            EXPECT_NEAR(evaluator.value(inputs[i]), levels[i], 1e-9)
                << points.size() << " points at " << inputs[i];
        }
    }
}

TEST(MonotoneCurveEvaluator, DropsPointsWithANaNCoordinateAndClampsInfinities) {
    EXPECT_EQ(MonotoneCurveEvaluator({{0, 0}, {kNaN, 100}, {128, kNaN}, {255, 255}}).xs(),
              (std::vector<double>{0, 255}));
    const MonotoneCurveEvaluator clamped({{-kInfinity, 30}, {kInfinity, kInfinity}});
    EXPECT_EQ(clamped.ys(), (std::vector<double>{30, 255}));
    EXPECT_EQ(clamped.value(kNaN), 0);  // never a NaN level
}

TEST(ToneCurveTable, SamplesEachChannelEvenlyInRgbRedGreenBlueOrder) {
    const ToneCurve curve{{{0, 20}, {255, 230}}, {{0, 0}, {255, 102}}, {{0, 255}, {255, 255}}, {}};
    EXPECT_EQ(curve.lut(2),
              (std::vector<float>{static_cast<float>(20 / 255.0), static_cast<float>(230 / 255.0),
                                  0, 0.4f, 1, 1, 0, 1}));
    EXPECT_TRUE(curve.lut(1).empty());
}

TEST(ToneCurveCoding, PointsRoundTripAsPlacedAndEveryChannelIsRequired) {
    const ToneCurve curve{.red = {{200, 10}, {-4, 300}, {200, 10}}, .green = {}};
    EXPECT_EQ(ToneCurve::decode(json::parse(curve.encode().dump())), curve);
    EXPECT_THROW((ToneCurve{.rgb = {{kNaN, 3}}}.encode()), EncodingError);
    const auto missing = decodingErrorOf(
        [] { ToneCurve::decode(json::parse(R"({"rgb": [], "red": [], "green": []})")); });
    EXPECT_EQ(missing.codingPath().dotted(), "blue");
}

}  // namespace
}  // namespace quillmere
