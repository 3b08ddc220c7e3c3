#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <memory>

#include "app/panels/kit/double_slider.h"
#include "app/panels/slider_rows_panel.h"
#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::doubleClick;
using testing::settle;
using testing::sliderNamed;

class SliderRowsTest : public ::testing::Test {
  protected:
    SliderRowsTest() {
        harness.showPhoto("/photos/a.dng");
        for (auto make : {makeWhiteBalancePanel, makeTonePanel, makePresencePanel}) {
            panels.emplace_back(make(state, nullptr));
            panels.back()->resize(300, 120);
            panels.back()->show();
        }
        settle();
    }
    SliderRow* row(EditLayer layer) {
        for (const auto& panel : panels) {
            if (SliderRow* found = panel->row(layer)) return found;
        }
        return nullptr;
    }
    void edit(const std::function<void(EditParams&)>& change) {
        state.updateEditParams(change);
        settle();
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    std::vector<std::unique_ptr<SliderRowsPanel>> panels;
};

TEST_F(SliderRowsTest, PanelsHoldTheirTwoRowsWithTheirRanges) {
    struct Expected {
        const char* title;
        SliderField field;
        double lower;
        double upper;
    };
    const std::vector<std::vector<Expected>> expected = {
        {{"Temp", SliderField::temperature, 2000, 50000}, {"Tint", SliderField::tint, -150, 150}},
        {{"Exposure", SliderField::exposure, -5, 5},
         {"Contrast", SliderField::contrast, -100, 100}},
        {{"Vibrance", SliderField::vibrance, -100, 100},
         {"Saturation", SliderField::saturation, -100, 100}},
    };
    for (std::size_t index = 0; index < panels.size(); ++index) {
        const auto& rows = panels[index]->rows();
        ASSERT_EQ(rows.size(), 2u);
        for (std::size_t r = 0; r < 2; ++r) {
            const Expected& e = expected[index][r];
            EXPECT_EQ(rows[r]->field(), e.field);
            EXPECT_EQ(rows[r]->titleLabel()->text(), e.title);
            DoubleSlider* slider = sliderNamed(*panels[index], e.title);
            ASSERT_NE(slider, nullptr);
            EXPECT_EQ(slider->lowerBound(), e.lower) << e.title;
            EXPECT_EQ(slider->upperBound(), e.upper) << e.title;
        }
    }
}

TEST_F(SliderRowsTest, DragsStoreTheExactEndsAndUnroundedValues) {
    DoubleSlider* temp = sliderNamed(*panels[0], "Temp");
    testing::dragSlider(*temp, -50);
    EXPECT_EQ(state.editParams().temperature, 2000);
    testing::dragSlider(*temp, temp->width() + 50);
    EXPECT_EQ(state.editParams().temperature, 50000);

    // A value between positions is shown and kept as it is.
    edit([](EditParams& params) { params.tint = 12.37; });
    EXPECT_EQ(row(EditLayer::tint)->valueLabel()->text(), "+12");
    EXPECT_EQ(state.editParams().tint, 12.37);
    // Keys move the slider as well; each move is stored unrounded within the range.
    DoubleSlider* tint = sliderNamed(*panels[0], "Tint");
    tint->setFocus();
    QTest::keyClick(tint, Qt::Key_Right);
    EXPECT_GT(state.editParams().tint, 12.37);
    EXPECT_LT(state.editParams().tint, 150);
}

TEST_F(SliderRowsTest, AValueOutsideTheRangeIsShownAndNeverWritten) {
    harness.log->clear();
    edit([](EditParams& params) { params.temperature = 60000; });
    EXPECT_EQ(row(EditLayer::temperature)->valueLabel()->text(), "60000");
    EXPECT_EQ(state.editParams().temperature, 60000);
    EXPECT_EQ(harness.log->count(AppState::Field::editParams), 1) << "only the test's own write";
    // The slider sits at its end; moving it writes a value from the range.
    DoubleSlider* temp = sliderNamed(*panels[0], "Temp");
    EXPECT_EQ(temp->value(), DoubleSlider::positionCount);
    temp->setFocus();
    QTest::keyClick(temp, Qt::Key_Left);
    EXPECT_LT(state.editParams().temperature, 50000);
}

TEST_F(SliderRowsTest, DoubleClickOnTheTitleResetsAndShowsTheLayerAgain) {
    Preset preset{.name = "Bright", .folder = "", .values = {}};
    preset.values.exposure = 1.3;
    state.applyPreset(preset);
    state.toggleEditLayer(EditLayer::exposure);
    settle();
    ASSERT_TRUE(state.lastAppliedPresetID());
    doubleClick(row(EditLayer::exposure)->titleLabel());
    settle();
    EXPECT_EQ(state.editParams().exposure, 0);
    EXPECT_EQ(row(EditLayer::exposure)->valueLabel()->text(), "0.00");
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::exposure));
    EXPECT_FALSE(state.lastAppliedPresetID());

    // White balance returns to the photo's as-shot values (4300 K, +7), not the defaults.
    edit([](EditParams& params) {
        params.temperature = 9000;
        params.tint = -20;
    });
    doubleClick(row(EditLayer::temperature)->titleLabel());
    doubleClick(row(EditLayer::tint)->titleLabel());
    EXPECT_EQ(state.editParams().temperature, 4300);
    EXPECT_EQ(state.editParams().tint, 7);
}

TEST_F(SliderRowsTest, AnyChangeOfTheFieldShowsItsLayerAndClearsMarkersThatNoLongerHold) {
    state.toggleEditLayer(EditLayer::tint);
    state.toggleEditLayer(EditLayer::contrast);
    settle();
    testing::dragSlider(*sliderNamed(*panels[0], "Tint"), 200);
    settle();
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::tint));
    EXPECT_TRUE(state.disabledEditLayers().contains(EditLayer::contrast)) << "only its own layer";

    // A write from elsewhere counts too, once per change of the value.
    edit([](EditParams& params) { params.contrast = 20; });
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::contrast));
    state.toggleEditLayer(EditLayer::contrast);
    edit([](EditParams& params) { params.exposure = 1; });
    EXPECT_TRUE(state.disabledEditLayers().contains(EditLayer::contrast)) << "contrast unchanged";

    // A preset's own write keeps its marker: the edit still equals what the preset made.
    Preset preset{.name = "Punch", .folder = "", .values = {}};
    preset.values.contrast = 40;
    state.applyPreset(preset);
    settle();
    EXPECT_TRUE(state.lastAppliedPresetID());
    edit([](EditParams& params) { params.contrast = 41; });
    EXPECT_FALSE(state.lastAppliedPresetID());
}

TEST_F(SliderRowsTest, AHiddenRowIgnoresChangesAndTakesTheValueItFindsWhenShown) {
    SliderRowsPanel& presence = *panels[2];
    presence.setShown(false);
    state.toggleEditLayer(EditLayer::vibrance);
    edit([](EditParams& params) { params.vibrance = 30; });
    EXPECT_TRUE(state.disabledEditLayers().contains(EditLayer::vibrance));
    EXPECT_EQ(row(EditLayer::vibrance)->valueLabel()->text(), "+30");
    // Shown after a change announced but not yet seen: still no reaction.
    state.updateEditParams([](EditParams& params) { params.vibrance = 35; });
    presence.setShown(true);
    settle();
    EXPECT_TRUE(state.disabledEditLayers().contains(EditLayer::vibrance));
    edit([](EditParams& params) { params.vibrance = 36; });
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::vibrance));
}

TEST(DoubleSlider, ShowsTheModelSilentlyAndLeavesTheWheelToItsView) {
    DoubleSlider slider;
    QSignalSpy edited(&slider, &DoubleSlider::valueEdited);
    QSignalSpy moved(&slider, &QSlider::valueChanged);
    slider.setDoubleRange(-5, 5);
    slider.setDoubleValue(7);
    slider.setDoubleValue(std::numeric_limits<double>::quiet_NaN());
    slider.setDoubleValue(2.5);
    EXPECT_EQ(slider.value(), DoubleSlider::positionCount * 3 / 4);
    EXPECT_EQ(edited.count() + moved.count(), 0);
    // A range without room shows the lower end, disabled.
    slider.setDoubleRange(30, 30);
    EXPECT_FALSE(slider.isEnabled());
    EXPECT_EQ(slider.doubleValue(), 30);
    EXPECT_EQ(edited.count(), 0);
    slider.setDoubleRange(0, 100);
    EXPECT_TRUE(slider.isEnabled());

    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&slider, &wheel);
    EXPECT_FALSE(wheel.isAccepted());
    EXPECT_EQ(edited.count(), 0);
}

}  // namespace
}  // namespace quillmere
