#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/panels/kit/collapsible_group.h"
#include "app/sheets/preset_row.h"
#include "app/sheets/presets_section.h"
#include "app/state/in_memory_preset_store.h"
#include "core/edit/built_in_presets.h"
#include "core/edit/file_preset_store.h"
#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::settle;

QAbstractButton* buttonTexted(const QMessageBox& box, const QString& text) {
    for (QAbstractButton* button : box.buttons()) {
        if (button->text() == text) return button;
    }
    ADD_FAILURE() << text.toStdString();
    return nullptr;
}

// Opens the context menu of `row`; the menu shown, if any.
QMenu* contextMenu(QWidget& list, PresetRow* row) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), row->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(row, &event);
    return list.findChild<QMenu*>();
}

TEST(PresetSummary, NamesWhatIsSetInOrderWithSignedTwoDecimalNumbers) {
    const ToneCurve bent = [] {
        ToneCurve curve;
        curve.rgb = curve.blue = {{0, 0}, {128, 150}, {255, 255}};
        return curve;
    }();
    const struct {
        PresetValues values;
        std::string expected;
    } cases[] = {
        {{.exposure = 25}, "exposure +25"},
        {{.exposure = -0.1}, "exposure -0.10"},
        {{.exposure = 2.5}, "exposure +2.50"},
        {{.exposure = 0.15}, "exposure +0.15"},
        {{.exposure = 1.999}, "exposure +2"},
        {{.exposure = 0.004}, "exposure 0"},
        {{.exposure = -0.004}, "exposure 0"},
        {{.contrast = 25, .shadows = 8, .vibrance = 25},
         "contrast +25 · shadows +8 · vibrance +25"},
        {{.exposure = -0.1, .temperatureScale = 1.1, .tintShift = 4, .toneCurve = bent},
         "exposure -0.10 · temp ×1.10 · tint +4 rel · curve rgb+b"},
        {{.exposure = 1, .contrast = 2, .highlights = 3, .shadows = 4, .whites = 5, .blacks = -6,
          .temperature = 5499.5, .tint = 10, .temperatureScale = 2, .tintShift = 3, .vibrance = 9,
          .saturation = -20, .toneCurve = ToneCurve::identity(), .hsl = HSLAdjustments{}},
         "exposure +1 · contrast +2 · highlights +3 · shadows +4 · whites +5 · blacks -6 · "
         "temp 5500 · tint +10 · vibrance +9 · saturation -20 · curve · hsl"},
        {{.temperatureScale = 1, .tintShift = 0}, "temp ×1.00 · tint 0 rel"},
        {{.denoise = 40, .denoiseMethod = DenoiseMethod::natural,
          .sharpening = SharpeningSettings{}},
         "No adjustments"},
    };
    for (const auto& [values, expected] : cases) {
        EXPECT_EQ(PresetsSection::summary(values), expected);
    }
    // Unclamped numbers format without an integer type in between (UBSan watches this).
    const std::string huge = PresetsSection::summary({.exposure = 1e300});
    EXPECT_EQ(huge.rfind("exposure +1000000000000000052504760255", 0), 0u);
    EXPECT_EQ(huge.size(), std::string("exposure +").size() + 301);
}

// The presets list over a file store holding the built-in folders, a user folder "Trips" with
// "Beach" and the top-level preset "Warm".
class PresetsSectionTest : public ::testing::Test {
  protected:
    PresetsSectionTest() {
        store->save({"Beach", "Trips", {.contrast = 10}});
        store->save({"Warm", "", {.temperature = 6000}});
        state.reloadPresets();
        section.resize(260, 800);
        section.show();
        settle();
    }
    QList<CollapsibleGroup*> groups() {
        return section.findChildren<CollapsibleGroup*>("presetFolder");
    }
    CollapsibleGroup* group(const QString& title) {
        for (CollapsibleGroup* found : groups()) {
            if (found->title() == title) return found;
        }
        return nullptr;
    }
    PresetRow* row(const QString& name) {
        for (PresetRow* found : section.findChildren<PresetRow*>()) {
            if (found->name() == name) return found;
        }
        ADD_FAILURE() << name.toStdString();
        return nullptr;
    }
    void showPhoto() {
        harness.showPhoto(harness.file("a.dng"));
        AppStateTesting::setPhoto(state, state.photo());
        settle();
    }
    // Deletes through the row's menu and the confirmation.
    void deleteByMenu(const QString& name) {
        QMenu* menu = contextMenu(section, row(name));
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->actions().size(), 1);
        EXPECT_EQ(menu->actions()[0]->text(), "Delete Preset…");
        menu->actions()[0]->trigger();
        auto* box = section.findChild<QMessageBox*>("deletePresetConfirmation");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Delete “" + name + "”?");
        EXPECT_EQ(box->informativeText(), "This removes the preset permanently.");
        EXPECT_EQ(box->buttonRole(buttonTexted(*box, "Cancel")), QMessageBox::RejectRole);
        QAbstractButton* confirm = buttonTexted(*box, "Delete Preset");
        EXPECT_EQ(box->buttonRole(confirm), QMessageBox::DestructiveRole);
        confirm->click();
        settle();
    }

    testing::TemporaryFolder folder;
    std::shared_ptr<FilePresetStore> store = std::make_shared<FilePresetStore>(
        folder.path() / "Presets", BuiltInPresets::folders());
    testing::StateHarness harness{{.presets = store}};
    AppState& state = *harness.state;
    PresetsSection section{state, true};
};

TEST_F(PresetsSectionTest, ListsBuiltInsByNameFoldedAndLockedThenUserFolders) {
    QStringList titles;
    for (CollapsibleGroup* found : groups()) {
        titles << found->title();
        EXPECT_FALSE(found->isExpanded());
        const bool locked = found->findChild<QWidget*>("builtInLock") != nullptr;
        EXPECT_EQ(locked, found->title() != "Trips" && found->title() != "My Presets");
    }
    EXPECT_EQ(titles, QStringList({"Black & White", "Essentials", "Film", "Rescue", "Trips",
                                   "My Presets"}));
}

TEST_F(PresetsSectionTest, RowsNeedAPhotoAndNoOpenWhileTheButtonNeedsThePhotoAlone) {
    EXPECT_FALSE(section.saveButton()->isEnabled());
    EXPECT_FALSE(row("Warm")->isEnabled());
    showPhoto();
    EXPECT_TRUE(section.saveButton()->isEnabled());
    EXPECT_TRUE(row("Warm")->isEnabled());
    ASSERT_TRUE(harness.request({harness.file("b.dng")}));
    ASSERT_TRUE(state.isOpening());
    settle();
    EXPECT_TRUE(section.saveButton()->isEnabled());
    EXPECT_FALSE(row("Warm")->isEnabled());
}

TEST_F(PresetsSectionTest, AClickAppliesAndSelectsTheRowUntilThePresetIsDeleted) {
    showPhoto();
    group("My Presets")->setExpanded(true);
    settle();
    QTest::mouseClick(row("Warm"), Qt::LeftButton);
    settle();
    EXPECT_EQ(state.editParams().temperature, 6000);
    EXPECT_TRUE(row("Warm")->isSelected());
    EXPECT_FALSE(row("Beach")->isSelected());
    EXPECT_EQ(row("Warm")->grab().toImage().pixelColor(row("Warm")->width() - 3, 10),
              section.palette().color(QPalette::Highlight));

    deleteByMenu("Warm");
    EXPECT_FALSE(group("My Presets"));
    for (PresetRow* left : section.findChildren<PresetRow*>()) EXPECT_FALSE(left->isSelected());
}

TEST_F(PresetsSectionTest, BuiltInRowsOfferNoMenu) {
    showPhoto();
    for (PresetRow* found : group("Essentials")->findChildren<PresetRow*>()) {
        EXPECT_EQ(contextMenu(section, found), nullptr);
    }
}

TEST_F(PresetsSectionTest, FoldersKeepTheirStateAcrossASave) {
    QTest::mouseClick(group("Essentials")->header(), Qt::LeftButton);
    state.saveCurrentAsPreset("New", "Trips", {.tone = true});
    settle();
    EXPECT_TRUE(group("Essentials")->isExpanded());
    EXPECT_FALSE(group("Trips")->isExpanded());
    EXPECT_EQ(group("Trips")->findChildren<PresetRow*>().size(), 2);
}

// A store whose deletes fail.
class StuckPresetStore final : public PresetStore {
  public:
    std::vector<PresetFolder> folders() override {
        return {{"Stuck", false, {{"Warm", "Stuck", {}}}}};
    }
    void save(const Preset&) override {}
    void deletePreset(const Preset&) override { throw PresetStoreError::ioFailure("disk gone"); }
};

TEST(PresetsSectionFailure, AFailedDeleteKeepsTheListAndReportsIt) {
    testing::StateHarness stuck{{.presets = std::make_shared<StuckPresetStore>()}};
    stuck.showPhoto(stuck.file("a.dng"));
    PresetsSection list(*stuck.state, false);
    settle();
    contextMenu(list, list.findChild<PresetRow*>())->actions()[0]->trigger();
    buttonTexted(*list.findChild<QMessageBox*>(), "Delete Preset")->click();
    settle();
    EXPECT_EQ(stuck.state->lastError(), "Could not delete preset: disk gone");
    EXPECT_EQ(list.findChildren<PresetRow*>().size(), 1);
}

TEST(PresetsSectionEmpty, SaysSoWithoutFolders) {
    testing::StateHarness harness{{.presets = std::make_shared<InMemoryPresetStore>()}};
    PresetsSection section(*harness.state, true);
    const QStringList texts = [&] {
        QStringList found;
        for (QLabel* label : section.findChildren<QLabel*>()) found << label->text();
        return found;
    }();
    EXPECT_TRUE(texts.contains("No presets yet"));
    EXPECT_TRUE(section.findChildren<CollapsibleGroup*>().isEmpty());
}

}  // namespace
}  // namespace quillmere
