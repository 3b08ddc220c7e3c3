#include "core/render/develop/tone_parameters.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillmere {
namespace {

// Each value of a point colour reaches the shader within its working range: a value inside it as
// it is, one beyond either end at that end, and one that is not finite at the lower end.
TEST(PointColorUniforms, EachValueIsClampedToItsWorkingRangeAtBothEnds) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const struct {
        double PointColor::*field;
        float PointColorRecord::*record;
        double below, lower, inside, upper, above;
    } fields[] = {
        {&PointColor::hue, &PointColorRecord::hue, -10, 0, 200, 360, 400},
        {&PointColor::saturation, &PointColorRecord::saturation, -0.5, 0, 0.25, 1, 1.5},
        {&PointColor::brightness, &PointColorRecord::brightness, -0.5, 0, 0.75, 1, 1.5},
        {&PointColor::hueRange, &PointColorRecord::hueRange, 0, 1, 30, 180, 250},
        {&PointColor::saturationRange, &PointColorRecord::saturationRange, 0, 0.01, 0.5, 1, 2},
        {&PointColor::luminanceRange, &PointColorRecord::luminanceRange, -1, 0.01, 0.5, 1, 2},
        {&PointColor::range, &PointColorRecord::range, 0, 1, 50, 100, 500},
        {&PointColor::hueShift, &PointColorRecord::hueShift, -300, -100, 40, 100, 300},
        {&PointColor::saturationShift, &PointColorRecord::saturationShift, -101, -100, -40, 100,
         101},
        {&PointColor::luminanceShift, &PointColorRecord::luminanceShift, -150, -100, 12.5, 100,
         150},
        {&PointColor::variance, &PointColorRecord::variance, -200, -100, -10, 100, 200},
    };
    for (const auto& f : fields) {
        const std::pair<double, double> cases[] = {{f.below, f.lower},   {f.inside, f.inside},
                                                   {f.above, f.upper},   {kNaN, f.lower},
                                                   {kInfinity, f.lower}, {-kInfinity, f.lower}};
        for (const auto& [value, expected] : cases) {
            EditParams params;
            params.hsl.points.emplace_back(200, 0.5, 0.5);
            params.hsl.points[0].*f.field = value;
            EXPECT_EQ(makePointColorUniforms(params).points[0].*f.record,
                      static_cast<float>(expected))
                << f.lower << "..." << f.upper << " given " << value;
        }
    }
}

}  // namespace
}  // namespace quillmere
