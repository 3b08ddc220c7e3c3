#include "core/render/develop/color_adjustment_functions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace quillmere {
namespace {

TEST(ColorMixer, HalfwayBetweenTwoCentresTakesHalfOfEachBand) {
    // Halfway between orange (30) and yellow (60), and between magenta (330) and red (360): the
    // upper band's entries act at half strength. Expected HSV from the mixer's constants: hue
    // +100 turns by 30 degrees, saturation −100 multiplies by 0, luminance −100 is −0.75 EV.
    for (const auto& [hue, upperBand] : {std::pair{45.0f, 2}, std::pair{345.0f, 0}}) {
        for (int entry = 0; entry < 3; ++entry) {
            HSLUniforms hsl;
            float* const lists[] = {hsl.hue, hsl.sat, hsl.lum};
            lists[entry][upperBand] = entry == 0 ? 100.0f : -100.0f;
            const msl::float3 moved = rgb2hsv(applyColorMixer(hsl, {hue, 0.5f, 0.6f}));
            SCOPED_TRACE(testing::Message() << hue << " " << entry);
            EXPECT_NEAR(moved.x, std::fmod(hue + (entry == 0 ? 15.0f : 0.0f), 360.0f), 0.01f);
            EXPECT_NEAR(moved.y, entry == 1 ? 0.25f : 0.5f, 1e-5f);
            EXPECT_NEAR(moved.z, entry == 2 ? 0.6f * std::exp2(-0.375f) : 0.6f, 1e-5f);
        }
    }
}


}  // namespace
}  // namespace quillmere
