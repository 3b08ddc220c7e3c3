#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>
#include <map>

#include "app/kit/collapsible_group.h"
#include "app/kit/number_field.h"
#include "app/panels/color_mixer_view.h"
#include "app/panels/hsl_section.h"
#include "app/panels/mixer_colors.h"
#include "app/panels/mixer_row.h"
#include "app/panels/point_color_editor.h"
#include "app/panels/slider_row.h"
#include "app/panels/swatch_button.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using Band = HSLAdjustments::Band;
using testing::settle;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

TEST(MixerColors, HueTracksWrapAroundRedAndSwatchesTakeAnyNumbers) {
    const auto hues = [](Band band) {
        std::vector<int> degrees;
        for (const QColor& color : track(band, "Hue")) degrees.push_back(color.hsvHue());
        return degrees;
    };
    EXPECT_EQ(hues(Band::red), (std::vector<int>{330, 0, 30}));
    EXPECT_EQ(hues(Band::magenta), (std::vector<int>{300, 330, 0}));
    EXPECT_EQ(track(Band::green, "Luminance").front(), QColor(Qt::black));
    EXPECT_EQ(track(Band::green, "Luminance").back(), QColor(Qt::white));
    PointColor odd(-90, 7, nan);
    EXPECT_EQ(swatchColor(odd), QColor::fromHsvF(0.75f, 1, 0));
    odd.hue = std::numeric_limits<double>::infinity();
    EXPECT_EQ(swatchColor(odd).hsvHueF(), 0);
}

// How a slider gets the focus: Tab from a button; a click in a window where the keys never moved
// the focus; a click after they did.
enum class FocusBy { tab, click, clickAfterTab };

// The colour that focus paints most ("#aarrggbb"), or "nothing": the slider grabbed at its lower
// end before and after it gets the focus `by`, the pointer away, and the most frequent colour of
// the pixels that changed.
std::string focusColour(DoubleSlider* slider, FocusBy by) {
    QWidget window;
    auto* button = new QPushButton("Before", &window);
    auto* column = new QVBoxLayout(&window);
    column->addWidget(button);
    column->addWidget(slider);
    window.resize(240, 80);
    window.show();
    QApplication::setActiveWindow(&window);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    slider->setDoubleValue(slider->lowerBound());
    const QImage unfocused = slider->grab().toImage();
    button->setFocus();
    if (by != FocusBy::click) QTest::keyClick(button, Qt::Key_Tab);
    if (by != FocusBy::tab) {
        button->setFocus();
        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(3, slider->height() / 2));
        slider->setDoubleValue(slider->lowerBound());
    }
    QTest::mouseMove(button);
    EXPECT_TRUE(slider->hasFocus());
    const QImage focused = slider->grab().toImage();
    std::map<QRgb, int> changed;
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (focused.pixel(x, y) != unfocused.pixel(x, y)) ++changed[focused.pixel(x, y)];
        }
    }
    if (changed.empty()) return "nothing";
    const auto most = std::max_element(changed.begin(), changed.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
    return QColor::fromRgba(most->first).name(QColor::HexArgb).toStdString();
}

// A slider shows its focus by outlining its groove once the keys have moved the focus in its
// window (Tab, which the arrow keys then follow), never after a click alone; a band slider shows
// the same focus, in the same colour, whichever way the focus came.
TEST(BandSlider, ShowsItsFocusWhenAndAsEverySliderDoes) {
    testing::StateHarness harness;
    harness.showPhoto("/photos/a.dng");
    for (const FocusBy by : {FocusBy::tab, FocusBy::click, FocusBy::clickAfterTab}) {
        SCOPED_TRACE(static_cast<int>(by));
        const std::string plain = focusColour(new DoubleSlider, by);
        EXPECT_EQ(plain == "nothing", by == FocusBy::click) << plain;
        for (const char* channel : {"Hue", "Saturation", "Luminance"}) {
            EXPECT_EQ(focusColour(new BandSlider(*harness.state, Band::blue, channel), by), plain)
                << channel;
        }
    }
}

class HSLSectionTest : public testing::SectionTest<HSLSection> {
  protected:
    HSLSectionTest() {
        section.resize(320, 900);
        open("a.dng");
    }
    ColorMixerView& mixer() { return *section.mixer(); }
    PointColorEditor& points() { return *section.pointEditor(); }
    const HSLAdjustments& hsl() const { return state.editParams().hsl; }
    void choose(const char* layout) {
        mixer().layoutPicker()->setCurrentText(layout);
        settle();
    }
    void addPoints(int count) {
        edit([&](EditParams& params) {
            for (int index = 0; index < count; ++index)
                params.hsl.points.emplace_back(index * 40.0, 0.5, 0.5);
        });
    }
    NumberField* field(const char* name) { return testing::childWith<NumberField>(section, name); }
    void type(const char* name, const char* text) { testing::typeInto(field(name), text); }
    void press(const char* text) {
        testing::childWith<QPushButton>(points(), text, "text")->click();
        settle();
    }
};

TEST_F(HSLSectionTest, RowsWriteOneEntryWithinItsLimits) {
    type("Red Hue", "250");
    EXPECT_EQ(hsl().hue[0], 100);
    EXPECT_EQ(field("Red Hue")->text(), "100");
    type("Red Hue", "-500");
    EXPECT_EQ(hsl().hue[0], -100);
    MixerRow* greenSaturation = mixer().row(Band::green, "Saturation");
    greenSaturation->write(40);
    greenSaturation->write(nan);
    EXPECT_EQ(hsl().saturation[3], 0);
    state.updateEditParams([](EditParams& params) { params.hsl.luminance[0] = 30; });
    testing::doubleClick(mixer().row(Band::red, "Hue")->label());
    EXPECT_EQ(hsl().hue[0], 0);
    EXPECT_EQ(hsl().luminance[0], 30) << "the other channels of the band stay";
}

TEST_F(HSLSectionTest, TheLayoutAndTheBlackAndWhiteSwitchFollowEachOtherWhileShown) {
    choose("B&W");
    EXPECT_TRUE(hsl().blackAndWhite);
    choose("HSL");
    EXPECT_FALSE(hsl().blackAndWhite);
    const auto setBlackAndWhite = [&](bool on) {
        edit([&](EditParams& params) { params.hsl.blackAndWhite = on; });
    };
    setBlackAndWhite(true);
    EXPECT_EQ(mixer().layoutName(), "B&W");
    setBlackAndWhite(false);
    EXPECT_EQ(mixer().layoutName(), "HSL");
    // Hidden (another tab), an arriving black-and-white edit is seen when the mixer comes back;
    // so does a new panel.
    section.setTab("Point Color");
    setBlackAndWhite(true);
    EXPECT_EQ(mixer().layoutName(), "HSL");
    section.setTab("Mixer");
    EXPECT_EQ(mixer().layoutName(), "B&W");
    EXPECT_EQ(HSLSection(state).mixer()->layoutName(), "B&W");
    // And back to colour while hidden ("Reset Adjustments" on the Point Color tab): the mixer
    // comes back in colour, and "B&W" can be chosen again.
    section.setTab("Point Color");
    state.resetAll();
    settle();
    section.setTab("Mixer");
    EXPECT_EQ(mixer().layoutName(), "HSL");
    choose("B&W");
    EXPECT_TRUE(hsl().blackAndWhite);
}

TEST_F(HSLSectionTest, ResetAndAnyMixerChangeShowTheLayerAgain) {
    addPoints(2);
    state.setSelectedPointColor(hsl().points[0].id);
    choose("B&W");
    state.updateEditParams([](EditParams& params) { params.hsl.hue[2] = 12; });
    state.toggleEditLayer(EditLayer::colorMixer);
    section.resetButton()->click();
    settle();
    EXPECT_EQ(hsl(), HSLAdjustments::neutral());
    EXPECT_EQ(state.selectedPointColor(), std::nullopt);
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::colorMixer));

    section.bypassButton()->click();
    mixer().row(Band::blue, "Hue")->slider()->triggerAction(QSlider::SliderSingleStepAdd);
    settle();
    EXPECT_EQ(hsl().hue[5], 1);
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::colorMixer));
}

TEST_F(HSLSectionTest, TargetedAdjustmentFollowsTheChannelAndEndsTheEyedropper) {
    QToolButton* targeted = mixer().targetedButton();
    mixer().setMode("Luminance");  // while off it starts nothing
    EXPECT_EQ(state.colorTargetChannel(), std::nullopt);
    mixer().setMode("All");
    state.setColorSamplerActive(true);
    state.toggleSpotRepair();
    targeted->click();
    EXPECT_EQ(state.colorTargetChannel(), "Hue");
    EXPECT_FALSE(state.colorSamplerActive() || state.isSpotRepairActive());
    mixer().setMode("Luminance");
    EXPECT_EQ(state.colorTargetChannel(), "Luminance");
    choose("B&W");
    mixer().setMode("Saturation");
    EXPECT_EQ(state.colorTargetChannel(), "Saturation") << "the mode's channel, also in B&W";
    targeted->click();
    EXPECT_EQ(state.colorTargetChannel(), std::nullopt);
}

TEST_F(HSLSectionTest, AltVisualisesTheBandDuringADragAndTabsOrFoldingEndEveryTool) {
    choose("HSL");
    mixer().setMode("Saturation");
    settle();
    BandSlider* green = mixer().row(Band::green, "Saturation")->slider();
    const QPoint middle = green->rect().center();
    QTest::mousePress(green, Qt::LeftButton, Qt::AltModifier, middle);
    EXPECT_EQ(state.visualizeColorBand(), 3);
    QTest::mouseRelease(green, Qt::LeftButton, Qt::NoModifier, middle);
    EXPECT_EQ(state.visualizeColorBand(), -1);
    harness.log->clear();
    QTest::mousePress(green, Qt::LeftButton, Qt::NoModifier, middle);
    QTest::mouseRelease(green, Qt::LeftButton, Qt::NoModifier, middle);
    EXPECT_EQ(harness.log->count(AppState::Field::visualizeColorBand), 0);

    for (const auto& end : std::vector<std::function<void()>>{
             [&] { section.setTab("Point Color"); }, [&] { section.setExpanded(false); }}) {
        state.setColorTargetChannel("Hue");
        state.setColorSamplerActive(true);
        state.setVisualizePointColor(true);
        state.setVisualizeColorBand(2);
        end();
        EXPECT_EQ(state.colorTargetChannel(), std::nullopt);
        EXPECT_FALSE(state.colorSamplerActive() || state.visualizePointColor());
        EXPECT_EQ(state.visualizeColorBand(), -1);
    }
}

TEST_F(HSLSectionTest, TheColorLayoutShowsTheChosenBandsRowsUnderItsRingedSwatch) {
    choose("Color");
    EXPECT_FALSE(hsl().blackAndWhite);
    mixer().swatches()[5]->click();  // blue
    settle();
    QStringList shown;
    for (MixerRow* row : mixer().rows()) {
        if (row->isVisible()) shown << row->label()->text() + ":" + row->field()->accessibleName();
    }
    EXPECT_EQ(shown, (QStringList{"Hue:Blue Hue", "Saturation:Blue Saturation",
                                  "Luminance:Blue Luminance"}));
    const QImage ringed = mixer().swatches()[5]->grab().toImage();
    const QImage plain = mixer().swatches()[3]->grab().toImage();
    EXPECT_EQ(ringed.pixelColor(11, 11).rgb(), bandColor(Band::blue).rgb());
    const QColor text = section.palette().color(QPalette::WindowText);
    EXPECT_LT(std::abs(ringed.pixelColor(11, 1).lightness() - text.lightness()), 40) << "ring";
    EXPECT_GT(std::abs(plain.pixelColor(11, 1).lightness() - text.lightness()), 40) << "no ring";
}

TEST_F(HSLSectionTest, SampleButtonCountAndLimits) {
    section.setTab("Point Color");
    settle();
    QPushButton* sample = points().sampleButton();
    QLabel* count = testing::childWith<QLabel>(points(), "0/8", "text");
    ASSERT_NE(count, nullptr);
    state.setColorTargetChannel("Hue");
    state.setVisualizePointColor(true);
    state.toggleSpotRepair();
    sample->click();
    EXPECT_TRUE(state.colorSamplerActive()) << "and every other colour tool and the brush end";
    EXPECT_FALSE(state.colorTargetChannel() || state.visualizePointColor() ||
                 state.isSpotRepairActive());
    addPoints(8);
    EXPECT_EQ(count->text(), "8/8");
    EXPECT_EQ(sample->text(), "Cancel sampling");
    EXPECT_TRUE(sample->isEnabled());
    sample->click();
    settle();
    EXPECT_FALSE(sample->isEnabled());
}

TEST_F(HSLSectionTest, PointRowsClampDeleteMovesTheSelectionAndResetKeepsRanges) {
    section.setTab("Point Color");
    addPoints(3);
    const UUID first = hsl().points[0].id, second = hsl().points[1].id;
    state.setSelectedPointColor(second);
    settle();
    EXPECT_EQ(field("Saturation range")->text(), "0.50");
    EXPECT_EQ(field("Range")->text(), "50");
    type("Hue range (\u00b0)", "500");
    type("Saturation range", "0");
    points().write(second, PointColorEditor::refinementRows[2], nan);
    points().write(UUID::random(), PointColorEditor::shiftRows[0], 50);  // no such point
    for (const auto& row : PointColorEditor::shiftRows) points().write(second, row, 20);
    const PointColor& edited = hsl().points[1];
    EXPECT_EQ(edited.hueRange, 180);
    EXPECT_EQ(edited.saturationRange, 0.01);
    EXPECT_EQ(edited.luminanceRange, 0.01);
    EXPECT_EQ(hsl().points[0].hueRange, 30) << "the other points stay";

    harness.log->clear();
    press("Reset shifts");
    EXPECT_EQ(harness.log->count(AppState::Field::editParams), 4);
    EXPECT_TRUE(hsl().points[1].isNeutral());
    EXPECT_EQ(hsl().points[1].hueRange, 180);

    press("Delete");
    EXPECT_EQ(state.selectedPointColor(), first);
    EXPECT_EQ(hsl().points.size(), 2u);

    // Deleting the only point leaves no selection, and the hint in place of the controls.
    state.updateEditParams([](EditParams& params) { params.hsl.points.pop_back(); });
    press("Delete");
    EXPECT_EQ(state.selectedPointColor(), std::nullopt);
    EXPECT_TRUE(hsl().points.empty());
    const QString hint = "Sample a color to adjust it independently of the eight mixer bands.";
    EXPECT_TRUE(testing::childWith<QLabel>(points(), hint, "text")->isVisible());
    EXPECT_FALSE(field("Range")->isVisible());
}

// The B&W layout is the eight luminances, in band order, each under its band's name.
TEST_F(HSLSectionTest, TheBlackAndWhiteLayoutShowsTheEightLuminances) {
    choose("B&W");
    QStringList shown;
    for (MixerRow* row : mixer().rows()) {
        if (row->isVisible()) shown << row->label()->text() + ":" + row->field()->accessibleName();
    }
    EXPECT_EQ(shown, (QStringList{"Red:Red Luminance", "Orange:Orange Luminance",
                                  "Yellow:Yellow Luminance", "Green:Green Luminance",
                                  "Aqua:Aqua Luminance", "Blue:Blue Luminance",
                                  "Purple:Purple Luminance", "Magenta:Magenta Luminance"}));
}

}  // namespace
}  // namespace quillmere
