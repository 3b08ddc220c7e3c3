#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <limits>

#include "app/kit/double_slider.h"
#include "app/kit/number_field.h"
#include "app/panels/denoise_panel.h"
#include "app/panels/sharpening_section.h"
#include "app/panels/spot_repair_section.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;

using SharpeningTest = testing::SectionTest<SharpeningSection>;

TEST_F(SharpeningTest, TypedValuesAreSteppedAndClampedAndNonNumbersChangeNothing) {
    open("a.dng");
    const auto type = [&](const char* field, const char* text) {
        testing::typeInto(child<NumberField>(field), text);
    };
    const struct {
        const char* field;
        const char* typed;
        double stored;
    } cases[] = {{"sharpeningSharpeningValue", "200", 150}, {"sharpeningSharpeningValue", "-5", 0},
                 {"sharpeningSharpeningValue", "37.5", 38}, {"sharpeningRadiusValue", "1.25", 1.3},
                 {"sharpeningRadiusValue", "0.2", 0.5},     {"sharpeningRadiusValue", "9", 3}};
    for (const auto& c : cases) {
        type(c.field, c.typed);
        const SharpeningSettings& stored = state.editParams().sharpening;
        EXPECT_DOUBLE_EQ(c.field[10] == 'S' ? stored.amount : stored.radius, c.stored) << c.typed;
    }
    type("sharpeningRadiusValue", "abc");
    EXPECT_EQ(child<NumberField>("sharpeningRadiusValue")->text(), "3.0");
    // What the user is typing survives a change from elsewhere; the other fields stay as stored.
    NumberField* amount = child<NumberField>("sharpeningSharpeningValue");
    QApplication::setActiveWindow(&section);
    amount->setFocus(Qt::MouseFocusReason);
    amount->selectAll();
    QTest::keyClicks(amount, "12");
    edit([](EditParams& params) {
        params.sharpening.amount = 90;
        params.sharpening.masking = 500;
    });
    EXPECT_EQ(amount->text(), "12");
    QTest::keyClick(amount, Qt::Key_Return);
    EXPECT_EQ(state.editParams().sharpening.amount, 12);
    EXPECT_EQ(state.editParams().sharpening.masking, 500);

    // Nothing that is not a number reaches the edit or its side effects.
    state.toggleEditLayer(EditLayer::sharpening);
    state.setShowOriginal(true);
    const EditParams before = state.editParams();
    harness.log->clear();
    for (double bad :
         {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        section.write(SharpeningSection::rows[1], bad);
    }
    EXPECT_EQ(state.editParams(), before);
    EXPECT_TRUE(harness.log->fields.empty());

    // A reset to the value already stored still counts as an edit, and keeps an equal marker.
    state.applyPreset(Preset{
        .name = "Crisp", .folder = "", .values = {.sharpening = SharpeningSettings::classic()}});
    state.toggleEditLayer(EditLayer::sharpening);
    state.setShowOriginal(true);
    testing::doubleClick(section.findChildren<QLabel*>().at(2));  // the "Detail" title
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::sharpening));
    EXPECT_FALSE(state.showOriginal());
    EXPECT_EQ(state.lastAppliedPresetID(), "/Crisp");
}

TEST_F(SharpeningTest, CompareClassicResetAndActualSize) {
    open("a.dng");
    edit([](EditParams& params) { params.sharpening = SharpeningSettings::neutral(); });
    QPushButton* compare = child<QPushButton>("compareSharpening");
    EXPECT_FALSE(compare->isEnabled());
    edit([](EditParams& params) { params.sharpening.preserveRAWTexture = true; });
    EXPECT_TRUE(compare->isEnabled());
    EXPECT_TRUE(child("preserveRAWTexture")->isVisible());
    state.toggleEditLayer(EditLayer::sharpening);  // as the edit stack does
    settle();
    EXPECT_EQ(compare->text(), "Show sharpened");
    testing::dragSlider(*child<DoubleSlider>("sharpeningMasking"), 100);
    settle();
    EXPECT_EQ(compare->text(), "Compare");

    state.toggleRecoveryComparison();
    child<QPushButton>("classicSharpening")->click();
    EXPECT_EQ(state.editParams().sharpening.amount, SharpeningSettings::classic().amount);
    EXPECT_FALSE(state.showRecoveryOriginal());
    state.setShowOriginal(true);
    button("Reset sharpening")->click();
    EXPECT_EQ(state.editParams().sharpening, SharpeningSettings::neutral());
    EXPECT_TRUE(state.showOriginal()) << "reset leaves comparisons";

    const std::int64_t revision = state.zoomRevision();
    button("100%", "text")->click();
    EXPECT_EQ(state.zoomRevision(), revision + 1);
    EXPECT_EQ(state.zoomAction(), AppState::ZoomAction::actualSize);

    // The texture switch belongs to RAW photos developed by the Natural method.
    edit([](EditParams& params) { params.denoiseMethod = DenoiseMethod::matchFilter; });
    EXPECT_FALSE(child("preserveRAWTexture")->isVisible());
    EXPECT_FALSE(state.editParams().sharpening.preserveRAWTexture);
    open("b.jpg", [](OpenedPhoto& photo) { photo.isRAW = false; });
    EXPECT_FALSE(child("preserveRAWTexture")->isVisible());
}

using DenoiseTest = testing::SectionTest<DenoisePanel>;

TEST_F(DenoiseTest, MethodsFollowThePhotoAndAMethodChangeWhileShownEndsComparisons) {
    const auto offered = [&] {
        QStringList titles;
        for (QAbstractButton* option : section.findChildren<QAbstractButton*>()) {
            if (option->isCheckable()) titles << option->text() + (option->isChecked() ? "*" : "");
        }
        return titles;
    };
    open("a.dng");
    EXPECT_EQ(offered(), (QStringList{"Natural*", "Detail"}));
    state.toggleRecoveryComparison();
    button("Detail", "text")->click();
    settle();
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::matchFilter);
    EXPECT_FALSE(state.showRecoveryOriginal());

    // A preset's change of method while shown ends comparisons; while hidden it does not.
    Preset natural{
        .name = "Soft", .folder = "", .values = {.denoiseMethod = DenoiseMethod::natural}};
    section.setShown(false);
    state.setShowOriginal(true);
    state.applyPreset(natural);
    section.setShown(true);
    settle();
    EXPECT_TRUE(state.showOriginal()) << "changed while hidden, seen when shown: no reaction";
    natural.values.denoiseMethod = DenoiseMethod::matchFilter;
    state.applyPreset(natural);
    settle();
    EXPECT_FALSE(state.showOriginal());

    // A JPEG offers Natural alone and shows no choice for a stored Detail, without writing it.
    harness.log->clear();
    open("b.jpg", [](OpenedPhoto& photo) {
        photo.isRAW = false;
        photo.supportsDetailDenoise = false;
    });
    edit([](EditParams& params) { params.denoiseMethod = DenoiseMethod::matchFilter; });
    EXPECT_EQ(offered(), (QStringList{"Natural"}));
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::matchFilter);
    EXPECT_EQ(section.engineLabel()->text(), "Standard");
}

TEST_F(DenoiseTest, EngineCaptionAndTheCompareKey) {
    EXPECT_EQ(DenoisePanel::engineCaption(state), "On device");
    const struct {
        DenoiseBackend backend;
        DenoiseMethod method;
        const char* caption;
    } cases[] = {{DenoiseBackend::neuralRAW9, DenoiseMethod::natural, "On device"},
                 {DenoiseBackend::standard, DenoiseMethod::natural, "Standard"},
                 {DenoiseBackend::standard, DenoiseMethod::matchFilter, "On device"}};
    for (const auto& c : cases) {
        open("a.dng", [&](OpenedPhoto& photo) { photo.denoiseBackend = c.backend; });
        edit([&](EditParams& params) { params.denoiseMethod = c.method; });
        EXPECT_EQ(section.engineLabel()->text(), c.caption);
    }

    QApplication::setActiveWindow(&section);
    state.setShowOriginal(true);
    // The shortcut clicks the button as a user would, released a moment later.
    QTest::keyClick(&section, Qt::Key_D);
    EXPECT_TRUE(testing::eventually([&] { return state.showDenoiseOriginal(); }));
    settle();
    EXPECT_FALSE(state.showOriginal());
    EXPECT_EQ(section.compareButton()->text(), "Show processed");
    QTest::keyClick(&section, Qt::Key_D);
    EXPECT_TRUE(
        testing::eventually([&] { return section.compareButton()->text() == "Compare noise"; }));
}

using SpotRepairTest = testing::SectionTest<SpotRepairSection>;

TEST_F(SpotRepairTest, ShowsWhatThereIsToDoWithTheStrokes) {
    QWidget* line = button("Undo spot repair")->parentWidget();
    DoubleSlider* size = child<DoubleSlider>("spotRepairSize");
    EXPECT_FALSE(line->isVisible() || size->isVisible());
    open("big.dng", [](OpenedPhoto& photo) {
        photo.pixelWidth = 6000;
        photo.pixelHeight = 4000;
    });
    EXPECT_EQ(size->upperBound(), 300) << "at most 300, not 15 % of 4000";
    open("a.dng", [](OpenedPhoto& photo) {
        photo.pixelWidth = 1000;
        photo.pixelHeight = 800;
    });
    EXPECT_EQ(size->upperBound(), 120);
    EXPECT_EQ(state.spotRepairDiameter(), 60) << "a new range writes nothing";

    child<QPushButton>("spotRepairToggle")->click();
    settle();
    EXPECT_EQ(child<QPushButton>("spotRepairToggle")->text(), "Done");
    state.beginSpotRepairStroke({0.5, 0.5});
    settle();
    EXPECT_EQ(SpotRepairSection::status(state), "Painting\u2026");
    state.endSpotRepairStroke();
    settle();
    EXPECT_EQ(SpotRepairSection::status(state), "1 stroke");
    button("Undo spot repair")->click();
    child<QPushButton>("spotRepairToggle")->click();
    settle();
    EXPECT_EQ(SpotRepairSection::status(state), "0 strokes");
    EXPECT_FALSE(button("Undo spot repair")->isEnabled());
    EXPECT_TRUE(button("Redo spot repair")->isEnabled());
    EXPECT_TRUE(line->isVisible()) << "a step to redo keeps the line";

    button("Redo spot repair")->click();
    settle();
    button("Clear spot repairs")->click();
    settle();
    EXPECT_FALSE(line->isVisible());

    child<QPushButton>("spotRepairToggle")->click();
    for (double diameter : {59.5, 60.4}) {
        state.setSpotRepairDiameter(diameter);
        settle();
        EXPECT_NE(testing::childWith<QLabel>(section, "60 px", "text"), nullptr) << diameter;
    }
    open("c.dng", [](OpenedPhoto& photo) { photo.pixelHeight = 0; });
    EXPECT_FALSE(size->isEnabled()) << "a range of 0...0";
}

// Each sharpening row writes its own setting and no other.
TEST_F(SharpeningTest, EachRowWritesItsOwnSetting) {
    open("a.dng");
    SharpeningSettings expected = state.editParams().sharpening;
    const struct {
        const char* field;
        const char* typed;
        double SharpeningSettings::*setting;
        double stored;
    } rows[] = {{"sharpeningSharpeningValue", "50", &SharpeningSettings::amount, 50},
                {"sharpeningRadiusValue", "2", &SharpeningSettings::radius, 2},
                {"sharpeningDetailValue", "60", &SharpeningSettings::detail, 60},
                {"sharpeningMaskingValue", "70", &SharpeningSettings::masking, 70}};
    for (const auto& row : rows) {
        testing::typeInto(child<NumberField>(row.field), row.typed);
        expected.*row.setting = row.stored;
        EXPECT_EQ(state.editParams().sharpening, expected) << row.field;
    }
}

// "Compare noise" is the one comparison on once pressed, whichever was on before.
TEST_F(DenoiseTest, CompareNoiseEndsTheOtherComparisons) {
    open("a.dng");
    const std::function<void()> others[] = {[&] { state.setShowOriginal(true); },
                                            [&] { state.setShowRecoveryOriginal(true); }};
    for (const auto& turnOn : others) {
        state.setShowDenoiseOriginal(false);
        turnOn();
        settle();
        section.compareButton()->click();
        EXPECT_TRUE(state.showDenoiseOriginal());
        EXPECT_FALSE(state.showOriginal() || state.showRecoveryOriginal());
    }
}

}  // namespace
}  // namespace quillmere
