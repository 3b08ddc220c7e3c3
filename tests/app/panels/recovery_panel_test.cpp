#include "app/panels/recovery_panel.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QToolButton>

#include "app/kit/double_slider.h"
#include "app/panels/slider_row.h"

#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;
using RecoveryPanelTest = testing::SectionTest<RecoveryPanel>;

// The highlights tip promises recovery from the RAW without a photo and for a RAW alone.
TEST_F(RecoveryPanelTest, TheHighlightsTipFollowsThePhoto) {
    const auto promisesRAW = [&] { return child("recoveryHighlights")->toolTip().contains("RAW"); };
    EXPECT_TRUE(promisesRAW());
    open("a.dng");
    EXPECT_TRUE(promisesRAW());
    open("b.jpg", [](OpenedPhoto& photo) { photo.isRAW = false; });
    EXPECT_FALSE(promisesRAW());
}

TEST_F(RecoveryPanelTest, CompareTogglesAndResetZeroesTheFourFieldsOnly) {
    open("a.dng");
    EditParams expected;
    expected.exposure = 1.2;
    edit([&](EditParams& params) {
        params = expected;
        params.highlights = -40;
        params.shadows = 30;
        params.whites = 10;
        params.blacks = -5;
    });
    QPushButton* compare = child<QPushButton>("compareRecovery");
    state.setShowOriginal(true);
    compare->click();
    settle();
    EXPECT_TRUE(state.showRecoveryOriginal() && !state.showOriginal());
    EXPECT_EQ(compare->text(), "Show recovered");

    section.resetButton()->click();
    settle();
    EXPECT_EQ(state.editParams(), expected);
    EXPECT_FALSE(state.showRecoveryOriginal());
    EXPECT_EQ(compare->text(), "Compare recovery");
}

// Each of the four sliders spans -100 to 100: a drag past either end stores that end exactly.
TEST_F(RecoveryPanelTest, EachSliderSpansMinusAHundredToAHundred) {
    open("a.dng");
    const struct {
        const char* row;
        double EditParams::*field;
    } rows[] = {{"recoveryHighlights", &EditParams::highlights},
                {"recoveryShadows", &EditParams::shadows},
                {"recoveryWhites", &EditParams::whites},
                {"recoveryBlacks", &EditParams::blacks}};
    for (const auto& row : rows) {
        DoubleSlider& slider = *child<SliderRow>(row.row)->slider();
        testing::dragSlider(slider, -50);
        EXPECT_EQ(state.editParams().*row.field, -100) << row.row;
        testing::dragSlider(slider, slider.width() + 50);
        EXPECT_EQ(state.editParams().*row.field, 100) << row.row;
    }
}

}  // namespace
}  // namespace quillmere
