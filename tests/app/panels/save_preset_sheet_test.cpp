#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "app/sheets/save_preset_sheet.h"
#include "core/edit/built_in_presets.h"
#include "core/edit/file_preset_store.h"
#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::settle;

// The sheet over a file store, with a photo open whose edit sets tone and white balance.
class SavePresetSheetTest : public ::testing::Test {
  protected:
    SavePresetSheetTest() {
        EditParams edit;
        edit.exposure = 0.5;
        edit.temperature = 6000;
        harness.showPhoto(harness.file("a.dng"), true, edit);
        reopen();
    }
    void reopen() {
        sheet = std::make_unique<SavePresetSheet>(state);
        sheet->open();
        settle();
    }
    template <class T>
    T* child(const QString& textOrName) {
        for (T* found : sheet->findChildren<T*>()) {
            if (found->objectName() == textOrName || found->property("text") == textOrName) {
                return found;
            }
        }
        ADD_FAILURE() << textOrName.toStdString();
        return nullptr;
    }
    void type(const char* field, const QString& text) { child<QLineEdit>(field)->setText(text); }
    void chooseFolder(const QString& title) {
        auto* folders = child<QComboBox>("presetFolder");
        folders->setCurrentIndex(folders->findText(title));
    }
    QString error() {
        auto* label = child<QLabel>("presetError");
        return label->isVisible() ? label->text() : QString();
    }
    // The presets stored in `folder`, by name.
    std::vector<Preset> stored(const std::string& folder) {
        for (const PresetFolder& listed : state.presetFolders()) {
            if (!listed.isBuiltIn && listed.name == folder) return listed.presets;
        }
        return {};
    }

    testing::TemporaryFolder folder;
    std::filesystem::path presets = folder.path() / "Presets";
    testing::StateHarness harness{
        {.presets = std::make_shared<FilePresetStore>(presets, BuiltInPresets::folders())}};
    AppState& state = *harness.state;
    std::unique_ptr<SavePresetSheet> sheet;
};

TEST_F(SavePresetSheetTest, SaveNeedsANameAndAGroup) {
    QPushButton* save = child<QPushButton>("Save");
    for (QCheckBox* group : sheet->findChildren<QCheckBox*>()) {
        EXPECT_EQ(group->isChecked(), group->text() != "White balance") << group->text().toStdString();
    }
    EXPECT_FALSE(save->isEnabled());
    type("presetName", " \n\t");
    EXPECT_FALSE(save->isEnabled());
    type("presetName", " x");
    EXPECT_TRUE(save->isEnabled());
    child<QPushButton>("None")->click();
    EXPECT_FALSE(save->isEnabled());
    child<QPushButton>("All")->click();
    EXPECT_TRUE(save->isEnabled());
    EXPECT_EQ(sheet->captureOptions(), (PresetCaptureOptions{true, true, true, true, true, true, true}));
}

TEST_F(SavePresetSheetTest, ReturnSavesTheTrimmedNameWithTheTickedGroupsAndCloses) {
    type("presetName", "  Warm \n");
    QTest::keyClick(child<QLineEdit>("presetName"), Qt::Key_Return);
    EXPECT_FALSE(sheet->isVisible());
    ASSERT_EQ(stored("").size(), 1u);
    EXPECT_EQ(stored("")[0].name, "Warm");
    EXPECT_EQ(stored("")[0].values.exposure, 0.5);
    EXPECT_FALSE(stored("")[0].values.temperature);
}

TEST_F(SavePresetSheetTest, ANewFolderIsCreatedAndListedAndABlankOneMeansTheTopLevel) {
    chooseFolder("New Folder…");
    EXPECT_TRUE(child<QLineEdit>("newFolderName")->isVisible());
    type("newFolderName", "  ");
    type("presetName", "Top");
    child<QPushButton>("Save")->click();
    EXPECT_EQ(stored("").size(), 1u);

    reopen();
    chooseFolder("New Folder…");
    type("newFolderName", " Trips ");
    chooseFolder("My Presets (top level)");
    EXPECT_FALSE(child<QLineEdit>("newFolderName")->isVisible());
    chooseFolder("New Folder…");
    type("presetName", "Beach");
    child<QPushButton>("Save")->click();
    EXPECT_EQ(stored("Trips").size(), 1u);

    // The top level, though it holds a preset now, is listed once, under its own title.
    reopen();
    auto* folders = child<QComboBox>("presetFolder");
    QStringList titles;
    for (int index = 0; index < folders->count(); ++index) titles << folders->itemText(index);
    EXPECT_EQ(titles, QStringList({"My Presets (top level)", "Trips", "", "New Folder…"}));
    chooseFolder("Trips");
    type("presetName", "Dunes");
    child<QPushButton>("Save")->click();
    EXPECT_EQ(stored("Trips").size(), 2u);
}

TEST_F(SavePresetSheetTest, FailuresAreWordedInTheSheetWhichStaysOpen) {
    std::filesystem::create_directories(presets);
    std::ofstream(presets / "Taken") << "a file, not a folder";
    const QString readOnly = "That folder is built-in and can't be modified. Choose another.";
    const QString invalid = "That preset name isn't valid. Try a different name.";
    const struct {
        QString name;
        QString newFolder;
        QString expected;
    } cases[] = {
        {"x", "Essentials", readOnly},
        {".x", "", invalid},
        {"a/b", "", invalid},
        {"x", ".hidden", invalid},
        {QString("War") + QChar(0) + "m", "", invalid},
        {"x", "Taken", "Couldn't save the preset: could not create folder: "},
    };
    for (const auto& [name, newFolder, expected] : cases) {
        reopen();
        type("presetName", name);
        if (!newFolder.isEmpty()) {
            chooseFolder("New Folder…");
            type("newFolderName", newFolder);
        }
        child<QPushButton>("Save")->click();
        EXPECT_TRUE(error().startsWith(expected)) << error().toStdString();
        EXPECT_TRUE(sheet->isVisible());
    }
    EXPECT_TRUE(stored("").empty());
    EXPECT_EQ(SavePresetSheet::message(PresetStoreError::noSelection()),
              "Select at least one group of settings.");
}

TEST_F(SavePresetSheetTest, TheErrorStaysWhileTypingAndASaveAfterAFailureCloses) {
    type("presetName", ".x");
    child<QPushButton>("Save")->click();
    QTest::keyClicks(child<QLineEdit>("presetName"), "y");
    EXPECT_FALSE(error().isEmpty());
    type("presetName", "Good");
    child<QPushButton>("Save")->click();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(stored("").size(), 1u);
}

}  // namespace
}  // namespace quillmere
