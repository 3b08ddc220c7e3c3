#include "app/sheets/presets_section.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <fstream>

#include "app/kit/collapsible_group.h"
#include "app/sheets/preset_row.h"
#include "app/sheets/save_preset_sheet.h"
#include "core/edit/built_in_presets.h"
#include "core/edit/file_preset_store.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::childWith;
using testing::settle;

TEST(PresetSummary, NamesWhatIsSetInOrderWithSignedTwoDecimalNumbers) {
    ToneCurve bent;
    bent.rgb = bent.blue = {{0, 0}, {128, 150}, {255, 255}};
    // clang-format off
    const std::pair<PresetValues, std::string> cases[] = {
        {{.exposure = 25, .contrast = -0.1, .highlights = 2.5, .shadows = 1.999, .whites = 0.004,
          .blacks = -0.004, .temperature = 5499.5, .tint = 10, .temperatureScale = 2,
          .tintShift = 3, .vibrance = 0.15, .saturation = -20, .toneCurve = bent},
         "exposure +25 · contrast -0.10 · highlights +2.50 · shadows +2 · whites 0 · blacks 0 · "
         "temp 5500 · tint +10 · vibrance +0.15 · saturation -20 · curve rgb+b"},
        {{.temperatureScale = 1, .tintShift = 0, .toneCurve = ToneCurve::identity(),
          .hsl = HSLAdjustments{}},
         "temp ×1.00 · tint 0 rel · curve · hsl"},
        {{.denoise = 40, .denoiseMethod = DenoiseMethod::natural, .sharpening = {{}}},
         "No adjustments"},
    };
    // clang-format on
    for (const auto& [values, expected] : cases) {
        EXPECT_EQ(PresetsSection::summary(values), expected);
    }
    // Unclamped numbers are written without an integer type in between (UBSan watches this).
    const std::string huge = PresetsSection::summary({.exposure = 1e300});
    EXPECT_EQ(huge.substr(0, 38), "exposure +1000000000000000052504760255");
}

// Deletes `row`'s preset through its context menu and the confirmation.
void deleteByMenu(QWidget& list, PresetRow* row) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, {5, 5}, row->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(row, &event);
    auto* menu = list.findChild<QMenu*>();
    ASSERT_TRUE(menu && menu->actions().size() == 1);
    menu->actions()[0]->trigger();
    auto* box = list.findChild<QMessageBox*>("deletePresetConfirmation");
    EXPECT_EQ(box->defaultButton(), childWith<QAbstractButton>(*box, "Cancel", "text"))
        << "Return keeps the preset";
    childWith<QAbstractButton>(*box, "Delete Preset", "text")->click();
    delete menu;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    settle();
}

// A file store with the built-in folders, "Trips" holding "Beach", and "Warm" at the top level;
// a photo whose edit sets exposure and white balance is shown once `showPhoto` runs.
class PresetsTest : public ::testing::Test {
  protected:
    PresetsTest() {
        state.presetStore().save({"Beach", "Trips", {.contrast = 10}});
        state.presetStore().save({"Warm", "", {.temperature = 6000}});
        state.reloadPresets();
        section.show();
        settle();
    }
    CollapsibleGroup* group(const QString& title) {
        return childWith<CollapsibleGroup>(section, title);
    }
    PresetRow* row(const QString& name) { return childWith<PresetRow>(section, name); }
    void showPhoto() {
        harness.showPhoto(harness.file("a.dng"), true,
                          {.exposure = 0.5, .temperature = 5000, .spotRepairs = {}});
        AppStateTesting::setPhoto(state, state.photo());
        settle();
    }

    testing::TemporaryFolder folder;
    testing::StateHarness harness{
        {.presets = std::make_shared<FilePresetStore>(folder.path(), BuiltInPresets::folders())}};
    AppState& state = *harness.state;
    PresetsSection section{state, true};
};

TEST_F(PresetsTest, ListsBuiltInsByNameFoldedAndLockedThenUserFolders) {
    QStringList titles;
    for (auto* found : section.findChildren<CollapsibleGroup*>()) {
        titles << found->title();
        EXPECT_FALSE(found->isExpanded());
        EXPECT_EQ(found->findChild<QWidget*>("builtInLock") != nullptr, titles.size() <= 4);
    }
    EXPECT_EQ(titles, QStringList({"Black & White", "Essentials", "Film", "Rescue", "Trips",
                                   "My Presets"}));
}

TEST_F(PresetsTest, AClickAppliesAndSelectsUntilTheDeleteWhileBuiltInsOfferNoMenu) {
    EXPECT_FALSE(section.saveButton()->isEnabled() || row("Warm")->isEnabled());
    showPhoto();
    EXPECT_TRUE(section.saveButton()->isEnabled() && row("Warm")->isEnabled());
    group("My Presets")->setExpanded(true);
    settle();
    QTest::mouseClick(row("Warm"), Qt::LeftButton);
    settle();
    EXPECT_EQ(state.editParams().temperature, 6000);
    EXPECT_TRUE(row("Warm")->isSelected() && !row("Beach")->isSelected());
    EXPECT_EQ(row("Warm")->grab().toImage().pixelColor(row("Warm")->width() - 3, 10),
              section.palette().color(QPalette::Highlight));
    QContextMenuEvent event(QContextMenuEvent::Mouse, {5, 5}, {5, 5});
    QApplication::sendEvent(group("Essentials")->findChild<PresetRow*>(), &event);
    EXPECT_EQ(section.findChild<QMenu*>(), nullptr);

    // A preset whose file went away fails to delete and stays listed.
    std::filesystem::remove(folder.path() / "Trips" / "Beach.json");
    deleteByMenu(section, row("Beach"));
    EXPECT_EQ(state.lastError(), "Could not delete preset: preset not found: Trips/Beach");
    deleteByMenu(section, row("Warm"));
    EXPECT_EQ(group("My Presets"), nullptr);
    for (PresetRow* left : section.findChildren<PresetRow*>()) EXPECT_FALSE(left->isSelected());

    // While another photo opens, the rows wait; "+" follows the photo alone.
    ASSERT_TRUE(harness.request({harness.file("b.dng")}));
    settle();
    EXPECT_TRUE(section.saveButton()->isEnabled() && !row("Punch")->isEnabled());
}

// The save sheet of the list's "+", filled in: "New Folder…" is chosen when `newFolder` is given.
class SaveSheetTest : public PresetsTest {
  protected:
    SaveSheetTest() { showPhoto(); }
    SavePresetSheet* fill(const QString& name, std::optional<QString> newFolder = {}) {
        delete sheet;
        section.saveButton()->click();
        sheet = section.findChild<SavePresetSheet*>();
        sheet->findChild<QLineEdit*>("presetName")->setText(name);
        if (newFolder) {
            choose("New Folder…");
            sheet->findChild<QLineEdit*>("newFolderName")->setText(*newFolder);
        }
        return sheet;
    }
    void choose(const QString& folder) {
        auto* folders = sheet->findChild<QComboBox*>("presetFolder");
        folders->setCurrentIndex(folders->findText(folder));
    }
    QAbstractButton* button(const QString& text) {
        return childWith<QAbstractButton>(*sheet, text, "text");
    }
    // The presets of the user folder `name` ("" for the top level), as the list shows them.
    QStringList listed(const QString& name) {
        QStringList names;
        if (CollapsibleGroup* shown = group(name)) {
            for (PresetRow* found : shown->findChildren<PresetRow*>()) names << found->name();
        }
        return names;
    }

    QPointer<SavePresetSheet> sheet;
};

TEST_F(SaveSheetTest, SaveNeedsANameAndAGroupAndSavesTheTrimmedNameOnReturn) {
    QTest::mouseClick(group("Essentials")->header(), Qt::LeftButton);
    fill(" \n\t");
    EXPECT_EQ(sheet->captureOptions(),
              PresetCaptureOptions(true, false, true, true, true, true, true));
    EXPECT_FALSE(button("Save")->isEnabled());
    sheet->findChild<QLineEdit*>("presetName")->setText("  Cool \n");
    button("None")->click();
    EXPECT_FALSE(button("Save")->isEnabled());
    button("All")->click();
    button("Tone")->click();
    QTest::keyClick(sheet->findChild<QLineEdit*>("presetName"), Qt::Key_Return);
    settle();
    EXPECT_FALSE(sheet && sheet->isVisible());
    EXPECT_EQ(listed("My Presets"), QStringList({"Cool", "Warm"}));
    EXPECT_TRUE(group("Essentials")->isExpanded() && !group("Trips")->isExpanded());
    const PresetValues saved = state.presetFolders().back().presets[0].values;
    EXPECT_TRUE(saved.temperature == 5000 && saved.sharpening && !saved.exposure);
}

TEST_F(SaveSheetTest, NewFoldersAreCreatedAndListedAndABlankOneIsTheTopLevel) {
    fill("Top", "  ")->save();
    fill("Beach", " Mountains ");
    choose("My Presets (top level)");
    EXPECT_FALSE(sheet->findChild<QLineEdit*>("newFolderName")->isVisible());
    choose("New Folder…");
    sheet->save();
    fill("Dunes");
    choose("Trips");
    sheet->save();
    settle();
    EXPECT_EQ(listed("My Presets"), QStringList({"Top", "Warm"}));
    EXPECT_EQ(listed("Mountains"), QStringList({"Beach"}));
    EXPECT_EQ(listed("Trips"), QStringList({"Beach", "Dunes"}));
}

TEST_F(SaveSheetTest, FailuresAreWordedInTheSheetWhichStaysOpenUntilASave) {
    std::ofstream(folder.path() / "Taken") << "a file where the folder would go";
    const QString invalid = "That preset name isn't valid. Try a different name.";
    const std::tuple<QString, std::optional<QString>, QString> cases[] = {
        {"x", "Essentials", "That folder is built-in and can't be modified. Choose another."},
        {".x", {}, invalid},
        {QString("War") + QChar(0) + "m", {}, invalid},
        {"x", "Taken", "Couldn't save the preset: could not create folder: "},
    };
    for (const auto& [name, newFolder, expected] : cases) {
        fill(name, newFolder)->save();
        const QString error = sheet->findChild<QLabel*>("presetError")->text();
        EXPECT_TRUE(error.startsWith(expected) && sheet->isVisible()) << error.toStdString();
    }
    QTest::keyClicks(sheet->findChild<QLineEdit*>("presetName"), "y");
    EXPECT_TRUE(sheet->findChild<QLabel*>("presetError")->isVisible());
    choose("My Presets (top level)");
    sheet->save();
    settle();
    EXPECT_FALSE(sheet && sheet->isVisible());
    EXPECT_EQ(listed("My Presets"), QStringList({"Warm", "xy"}));
}

// Only "Delete Preset" deletes: Cancel, Escape and Return keep the preset.
TEST_F(PresetsTest, TheConfirmationKeepsThePresetUnlessDeleteIsChosen) {
    showPhoto();
    group("Trips")->setExpanded(true);
    settle();
    const std::function<void(QMessageBox&)> answers[] = {
        [](QMessageBox& box) { childWith<QAbstractButton>(box, "Cancel", "text")->click(); },
        [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); },
        [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); },
        [](QMessageBox& box) { childWith<QAbstractButton>(box, "Delete Preset", "text")->click(); },
    };
    for (const auto& answer : answers) {
        ASSERT_NE(row("Beach"), nullptr);
        testing::rightClick(row("Beach"), QPoint(5, 5));
        auto* menu = section.findChild<QMenu*>();
        ASSERT_TRUE(menu && menu->isVisible());
        QAction* remove = menu->actions().at(0);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(remove).center());
        auto* box = section.findChild<QMessageBox*>("deletePresetConfirmation");
        ASSERT_TRUE(box && box->isVisible());
        answer(*box);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        settle();
    }
    EXPECT_EQ(row("Beach"), nullptr) << "deleted by the last answer alone";
    EXPECT_EQ(group("Trips"), nullptr);
}

}  // namespace
}  // namespace quillmere
