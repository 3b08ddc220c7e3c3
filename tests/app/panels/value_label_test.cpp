#include "app/panels/value_label.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "app/panels/kit/number_format.h"

namespace quillmere {
namespace {

constexpr double infinity = std::numeric_limits<double>::infinity();

TEST(ValueLabel, RoundsHalvesAwayFromZeroAndNeverShowsMinusZero) {
    struct Case {
        SliderField field;
        double value;
        std::string label;
    };
    const Case cases[] = {
        {SliderField::temperature, 5499.5, "5500"},
        {SliderField::temperature, 5500.4, "5500"},
        {SliderField::temperature, 60000, "60000"},
        {SliderField::tint, 0.4, "0"},
        {SliderField::tint, -0.4, "0"},
        {SliderField::tint, 0.5, "+1"},
        {SliderField::tint, -0.5, "-1"},
        {SliderField::tint, 12.37, "+12"},
        {SliderField::exposure, 0, "0.00"},
        {SliderField::exposure, -0.0, "0.00"},
        {SliderField::exposure, 0.004, "+0.00"},
        {SliderField::exposure, -0.004, "-0.00"},
        {SliderField::exposure, 0.125, "+0.12"},  // printf's ties to even, not Qt's "0.13"
        {SliderField::exposure, -1.25, "-1.25"},
        {SliderField::contrast, 100, "+100"},
        {SliderField::blacks, -100, "-100"},
        {SliderField::denoise, 0, "Off"},
        {SliderField::denoise, -3, "Off"},
        {SliderField::denoise, 0.3, "0"},
        {SliderField::denoise, 35.5, "36"},
        // What a damaged edit may hold formats without passing through an integer.
        {SliderField::temperature, infinity, "inf"},
        {SliderField::saturation, -infinity, "-inf"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(valueLabel(c.field, c.value).toStdString(), c.label)
            << static_cast<int>(c.field) << " " << c.value;
    }
    char printed[400];
    std::snprintf(printed, sizeof printed, "+%.2f", 1e300);
    EXPECT_EQ(valueLabel(SliderField::exposure, 1e300).toStdString(), printed);
}

TEST(NumberFormat, MatchesPrintfWithoutTheLocale) {
    EXPECT_EQ(fixed(0.125, 2), "0.12");
    EXPECT_EQ(fixed(-2.5, 0), "-2");
    EXPECT_EQ(fixed(1234567.5, 1), "1234567.5");
    EXPECT_EQ(roundedInteger(-0.4), "0");
    EXPECT_EQ(roundedInteger(-2.5), "-3");
    EXPECT_EQ(roundedInteger(2.5), "3");
}

}  // namespace
}  // namespace quillmere
