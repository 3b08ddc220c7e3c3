#include "core/decode/color_temperature.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace quillmere {
namespace {

struct UV {
    double u;
    double v;
};

// The Planckian locus in CIE 1960 uv after Krystek (1985), within 8e-5 from 1000 to 15000 K: an
// oracle independent of the isotemperature table under test.
UV planckian(double t) {
    return {(0.860117757 + 1.54118254e-4 * t + 1.28641212e-7 * t * t) /
                (1.0 + 8.42420235e-4 * t + 7.08145163e-7 * t * t),
            (0.317398726 + 4.22806245e-5 * t + 4.20481691e-8 * t * t) /
                (1.0 - 2.89741816e-5 * t + 1.61456053e-7 * t * t)};
}

TemperatureTint ofUV(UV uv) {
    const double d = 2.0 * uv.u - 8.0 * uv.v + 4.0;
    return temperatureTint(3.0 * uv.u / d, 2.0 * uv.v / d).value();
}

TEST(ColorTemperature, FindsTheTemperatureOfBlackBodiesAndDaylight) {
    for (double kelvin : {1800.0, 2856.0, 4500.0, 6500.0, 10000.0, 14000.0}) {
        const TemperatureTint white = ofUV(planckian(kelvin));
        EXPECT_NEAR(white.temperature, kelvin, kelvin * 0.005) << kelvin;
        EXPECT_NEAR(white.tint, 0.0, 0.5) << kelvin;
    }
    // Daylight runs on the green side of the black bodies, by about 0.003 in uv.
    const TemperatureTint d65 = temperatureTint(0.31271, 0.32902).value();
    EXPECT_NEAR(d65.temperature, 6504.0, 15.0);
    EXPECT_NEAR(d65.tint, 9.5, 1.5);
}

TEST(ColorTemperature, MeasuresTintAlongTheIsotemperatureLineGreenPositive) {
    const UV locus = planckian(5000.0);
    const UV next = planckian(5001.0);
    const double length = std::hypot(next.u - locus.u, next.v - locus.v);
    // The locus's normal towards larger v, the green side (the locus falls in u and v here).
    const UV green{(next.v - locus.v) / length, -(next.u - locus.u) / length};
    ASSERT_GT(green.v, 0.0);
    // The oracle's locus and the table's lie up to 1.5e-4 apart: the scale is checked on
    // differences from the locus point's own tint.
    const double onLocus = ofUV(locus).tint;
    EXPECT_NEAR(onLocus, 0.0, 0.5);
    for (double distance : {-0.01, -0.002, 0.002, 0.01}) {
        const TemperatureTint white =
            ofUV({locus.u + distance * green.u, locus.v + distance * green.v});
        EXPECT_NEAR(white.tint - onLocus, distance * 3000.0, 0.05) << distance;
        EXPECT_NEAR(white.temperature, 5000.0, 25.0) << distance;
    }
}

TEST(ColorTemperature, HoldsPointsBeyondTheTableAndRefusesNonChromaticities) {
    EXPECT_NEAR(temperatureTint(0.60, 0.38)->temperature, 1.0e6 / 600.0, 1e-6);
    EXPECT_EQ(temperatureTint(0.22, 0.22)->temperature, std::numeric_limits<double>::infinity());
    EXPECT_FALSE(temperatureTint(std::nan(""), 0.3).has_value());
    EXPECT_FALSE(temperatureTint(0.3, std::numeric_limits<double>::infinity()).has_value());
    EXPECT_FALSE(temperatureTint(1.5, 0.0).has_value());  // where u and v have no value
}

}  // namespace
}  // namespace quillmere
