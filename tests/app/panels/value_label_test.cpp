#include "app/panels/value_label.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "app/kit/number_format.h"

namespace quillmere {
namespace {

TEST(ValueLabel, RoundsHalvesAwayFromZeroAndNeverShowsMinusZero) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const struct {
        SliderField field;
        double value;
        const char* label;
    } cases[] = {{SliderField::temperature, 5499.5, "5500"},
                 {SliderField::tint, 0.4, "0"},
                 {SliderField::tint, -0.4, "0"},
                 {SliderField::tint, 0.5, "+1"},
                 {SliderField::tint, -0.5, "-1"},
                 {SliderField::exposure, 0, "0.00"},
                 {SliderField::exposure, -0.0, "0.00"},
                 {SliderField::exposure, -0.004, "-0.00"},
                 {SliderField::exposure, 0.125, "+0.12"},
                 {SliderField::denoise, 0, "Off"},
                 {SliderField::denoise, 0.3, "0"},
                 {SliderField::temperature, inf, "inf"},
                 {SliderField::saturation, -inf, "-inf"}};
    for (const auto& c : cases) {
        EXPECT_EQ(valueLabel(c.field, c.value), c.label) << int(c.field) << " " << c.value;
    }
    // Never through an integer: 1e300 prints in full, as printf prints it.
    char printed[400];
    std::snprintf(printed, sizeof printed, "+%.2f", 1e300);
    EXPECT_EQ(valueLabel(SliderField::exposure, 1e300).toStdString(), printed);
    EXPECT_EQ(roundedInteger(-2.5), "-3");
}

}  // namespace
}  // namespace quillmere
