#include "app/panels/value_label.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "app/kit/number_format.h"

namespace quillmere {
namespace {

TEST(ValueLabel, RoundsHalvesAwayFromZeroNeverShowsMinusZeroAndStaysShort) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        EditLayer layer;
        double value;
        const char* label;
    } cases[] = {{EditLayer::temperature, 5499.5, "5500"},
                 {EditLayer::tint, 0.4, "0"},
                 {EditLayer::tint, -0.4, "0"},
                 {EditLayer::tint, 0.5, "+1"},
                 {EditLayer::tint, -0.5, "-1"},
                 {EditLayer::exposure, 0, "0.00"},
                 {EditLayer::exposure, -0.0, "0.00"},
                 {EditLayer::exposure, -0.004, "-0.00"},
                 {EditLayer::exposure, 0.125, "+0.12"},
                 {EditLayer::denoise, 0, "Off"},
                 {EditLayer::denoise, 0.3, "0"},
                 {EditLayer::temperature, inf, "inf"},
                 {EditLayer::saturation, -inf, "-inf"},
                 // Longer than ten characters: printf's "%.3g" with the format's sign.
                 {EditLayer::exposure, 1e300, "+1e+300"},
                 {EditLayer::exposure, -1.23456e300, "-1.23e+300"},
                 {EditLayer::exposure, 1234567.891, "+1.23e+06"},
                 {EditLayer::exposure, 123456.789, "+123456.79"},
                 {EditLayer::temperature, 1e300, "1e+300"},
                 {EditLayer::denoise, -1e300, "Off"}};
    for (const auto& c : cases) {
        EXPECT_EQ(valueLabel(c.layer, c.value), c.label) << int(c.layer) << " " << c.value;
    }
    // Never through an integer: 1e300 formats in full, as printf prints it.
    char printed[400];
    std::snprintf(printed, sizeof printed, "%.2f", 1e300);
    EXPECT_EQ(fixed(1e300, 2).toStdString(), printed);
    EXPECT_EQ(roundedInteger(-2.5), "-3");
}

}  // namespace
}  // namespace quillmere
