#include "app/panels/recovery_panel.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QToolButton>

#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::settle;

class RecoveryPanelTest : public ::testing::Test {
  protected:
    RecoveryPanelTest() {
        panel.show();
        settle();
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    RecoveryPanel panel{state};
};

TEST_F(RecoveryPanelTest, TitleAndHighlightsTipFollowThePhoto) {
    const QString raw =
        "Move left to recover bright detail and color from the RAW. Double-click the label to "
        "reset.";
    const QString raster =
        "Adjust existing highlight detail. Clipped detail cannot be restored. Double-click the "
        "label to reset.";
    std::optional<OpenedPhoto> jpeg = scriptedPhoto("/photos/a.jpg");
    jpeg->isRAW = false;
    for (const auto& [photo, title, tip] :
         {std::tuple(std::optional(scriptedPhoto("/photos/a.dng")), "RAW Recovery", raw),
          std::tuple(jpeg, "Highlights & Shadows", raster),
          std::tuple(std::optional<OpenedPhoto>(), "RAW Recovery", raw)}) {
        AppStateTesting::setPhoto(state, photo);
        settle();
        EXPECT_EQ(RecoveryPanel::title(state), title);
        EXPECT_EQ(panel.findChild<QWidget*>("recoveryHighlights")->toolTip(), tip);
    }
}

TEST_F(RecoveryPanelTest, CompareTogglesAndResetZeroesTheFourFieldsOnly) {
    QPushButton* compare = panel.findChild<QPushButton*>("compareRecovery");
    ASSERT_NE(compare, nullptr);
    state.setShowOriginal(true);
    state.setShowDenoiseOriginal(true);
    compare->click();
    settle();
    EXPECT_TRUE(state.showRecoveryOriginal());
    EXPECT_FALSE(state.showOriginal() || state.showDenoiseOriginal());
    EXPECT_EQ(compare->text(), "Show recovered");
    compare->click();
    settle();
    EXPECT_EQ(compare->text(), "Compare recovery");

    harness.showPhoto("/photos/a.dng");
    state.updateEditParams([](EditParams& params) {
        params = {.exposure = 1.2, .highlights = -40, .shadows = 30, .whites = 10, .blacks = -5};
    });
    state.toggleEditLayer(EditLayer::highlights);
    state.toggleRecoveryComparison();
    panel.resetButton()->click();
    settle();
    EXPECT_EQ(state.editParams(), EditParams{.exposure = 1.2});
    EXPECT_FALSE(state.showRecoveryOriginal());
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::highlights));

    // With nothing to reset nothing changes and no comparison is announced.
    harness.log->clear();
    panel.resetButton()->click();
    EXPECT_EQ(state.editParams(), EditParams{.exposure = 1.2});
    EXPECT_EQ(harness.log->count(AppState::Field::showRecoveryOriginal), 0);
}

}  // namespace
}  // namespace quillmere
