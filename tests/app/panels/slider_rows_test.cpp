#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <map>

#include "app/kit/double_slider.h"
#include "app/panels/slider_rows_panel.h"
#include "app/state/slider_field.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;

class SliderRowsTest : public ::testing::Test {
  protected:
    SliderRowsTest() {
        harness.showPhoto("/photos/a.dng");
        auto* column = new QVBoxLayout(&window);
        for (auto make : {makeWhiteBalancePanel, makeTonePanel, makePresencePanel}) {
            panels.push_back(make(state, &window));
            column->addWidget(panels.back());
        }
        window.resize(300, 400);
        window.show();
        settle();
    }
    SliderRow* row(EditLayer layer) {
        for (SliderRowsPanel* panel : panels) {
            if (SliderRow* found = panel->row(layer)) return found;
        }
        return nullptr;
    }
    DoubleSlider& slider(const char* title) {
        return *testing::childWith<DoubleSlider>(window, title);
    }
    void edit(const std::function<void(EditParams&)>& change) {
        state.updateEditParams(change);
        settle();
    }
    bool bypassed(EditLayer layer) const { return state.disabledEditLayers().contains(layer); }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    QWidget window;
    std::vector<SliderRowsPanel*> panels;
};

// Every row's range; a drag past either end stores that end exactly.
TEST_F(SliderRowsTest, DragsStoreTheEndsOfEachRangeAndStoredValuesAreShownNotWritten) {
    const struct {
        const char* title;
        EditLayer layer;
        double lower, upper;
    } rows[] = {{"Temp", EditLayer::temperature, 2000, 50000},
                {"Tint", EditLayer::tint, -150, 150},
                {"Exposure", EditLayer::exposure, -5, 5},
                {"Contrast", EditLayer::contrast, -100, 100},
                {"Vibrance", EditLayer::vibrance, -100, 100},
                {"Saturation", EditLayer::saturation, -100, 100}};
    for (const auto& row : rows) {
        testing::dragSlider(slider(row.title), -50);
        EXPECT_EQ(sliderValue(state.editParams(), row.layer), row.lower) << row.title;
        testing::dragSlider(slider(row.title), slider(row.title).width() + 50);
        EXPECT_EQ(sliderValue(state.editParams(), row.layer), row.upper) << row.title;
    }

    harness.log->clear();
    edit([](EditParams& params) {
        params.temperature = 60000;
        params.tint = 12.37;
    });
    EXPECT_EQ(row(EditLayer::temperature)->valueLabel()->text(), "60000");
    EXPECT_EQ(row(EditLayer::tint)->valueLabel()->text(), "+12");
    EXPECT_EQ(harness.log->count(AppState::Field::editParams), 1) << "only the test's own write";
}

// What a reset writes, and what else it does, is the state's; the row resets its own field.
TEST_F(SliderRowsTest, DoubleClickResetsToZeroOrAsShot) {
    edit([](EditParams& params) {
        params.exposure = 1.3;
        params.temperature = 9000;
        params.tint = -20;
    });
    for (EditLayer layer : {EditLayer::exposure, EditLayer::temperature, EditLayer::tint}) {
        testing::doubleClick(row(layer)->titleLabel());
    }
    settle();
    EXPECT_EQ(state.editParams().exposure, 0);
    // The scripted photo was shot at 4300 K and tint +7.
    EXPECT_EQ(state.editParams().temperature, 4300);
    EXPECT_EQ(state.editParams().tint, 7);
}

TEST_F(SliderRowsTest, AnyChangeOfAShownFieldShowsItsLayerAndClearsStaleMarkers) {
    state.toggleEditLayer(EditLayer::tint);
    state.toggleEditLayer(EditLayer::contrast);
    testing::dragSlider(slider("Tint"), 200);
    settle();
    EXPECT_FALSE(bypassed(EditLayer::tint));
    EXPECT_TRUE(bypassed(EditLayer::contrast)) << "only the row's own layer";
    edit([](EditParams& params) { params.exposure = 1; });
    EXPECT_TRUE(bypassed(EditLayer::contrast)) << "contrast did not change";
    edit([](EditParams& params) { params.contrast = 20; });
    EXPECT_FALSE(bypassed(EditLayer::contrast)) << "a write from elsewhere counts";

    // A preset's own write keeps its marker; a later change clears it.
    state.applyPreset(Preset{.name = "Punch", .folder = "", .values = {.contrast = 40}});
    settle();
    EXPECT_TRUE(state.lastAppliedPresetID());
    edit([](EditParams& params) { params.contrast = 41; });
    EXPECT_FALSE(state.lastAppliedPresetID());

    // Hidden rows do not react, and a row shown takes what it finds, even a change it has not
    // seen yet.
    panels[2]->setShown(false);
    state.toggleEditLayer(EditLayer::vibrance);
    edit([](EditParams& params) { params.vibrance = 30; });
    state.updateEditParams([](EditParams& params) { params.vibrance = 35; });
    panels[2]->setShown(true);
    settle();
    EXPECT_TRUE(bypassed(EditLayer::vibrance));
    edit([](EditParams& params) { params.vibrance = 36; });
    EXPECT_FALSE(bypassed(EditLayer::vibrance));
}

// A slider is one line of the slider table: the row built for a field takes its title, range,
// value label, reset and layer from that line and from nothing else.
TEST(SliderTable, EachRowTakesItsTitleRangeLabelResetAndLayerFromItsLine) {
    // 1.5 in each format; the reset values are the scripted photo's as-shot 4300 K and tint +7,
    // else 0.
    const std::map<ValueLabelFormat, QString> labels{{ValueLabelFormat::wholeNumber, "2"},
                                                     {ValueLabelFormat::signedWholeNumber, "+2"},
                                                     {ValueLabelFormat::signedHundredths, "+1.50"},
                                                     {ValueLabelFormat::offOrWholeNumber, "2"}};
    const std::map<EditLayer, double> resets{{EditLayer::temperature, 4300}, {EditLayer::tint, 7}};
    testing::StateHarness harness;
    AppState& state = *harness.state;
    harness.showPhoto("/photos/a.dng");
    for (const SliderField& line : sliderFields) {
        SliderRow row(state, line.editLayer);
        row.show();
        EXPECT_EQ(row.titleLabel()->text(), QString::fromUtf8(line.title));
        EXPECT_EQ(row.slider()->lowerBound(), line.lowerBound) << line.title;
        EXPECT_EQ(row.slider()->upperBound(), line.upperBound) << line.title;
        EXPECT_EQ(row.editLayer(), line.editLayer) << line.title;

        state.updateEditParams([&](EditParams& params) { params.*line.value = 1.5; });
        settle();
        EXPECT_EQ(row.valueLabel()->text(), labels.at(line.label)) << line.title;

        state.toggleEditLayer(line.editLayer);
        testing::doubleClick(row.titleLabel());
        settle();
        EXPECT_EQ(state.editParams().*line.value,
                  resets.contains(line.editLayer) ? resets.at(line.editLayer) : 0)
            << line.title;
        EXPECT_FALSE(state.disabledEditLayers().contains(line.editLayer)) << line.title;
    }
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

    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&slider, &wheel);
    EXPECT_FALSE(wheel.isAccepted());
}

}  // namespace
}  // namespace quillmere
