#include "app/panels/recovery_panel.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::settle;

const char* const rawHighlights =
    "Move left to recover bright detail and color from the RAW. Double-click the label to reset.";
const char* const rasterHighlights =
    "Adjust existing highlight detail. Clipped detail cannot be restored. Double-click the label "
    "to reset.";

class RecoveryPanelTest : public ::testing::Test {
  protected:
    RecoveryPanelTest() {
        panel.show();
        settle();
    }
    QString highlightsTip() const {
        return panel.findChild<QWidget*>("recoveryHighlights")->toolTip();
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    RecoveryPanel panel{state};
};

TEST_F(RecoveryPanelTest, TitleAndHighlightsTipFollowThePhoto) {
    struct Case {
        std::optional<bool> isRAW;  // nothing: no photo open
        const char* title;
        const char* tip;
    };
    for (const Case& c : {Case{true, "RAW Recovery", rawHighlights},
                          Case{false, "Highlights & Shadows", rasterHighlights},
                          Case{std::nullopt, "RAW Recovery", rawHighlights}}) {
        std::optional<OpenedPhoto> photo;
        if (c.isRAW) {
            photo = scriptedPhoto(*c.isRAW ? "/photos/a.dng" : "/photos/a.jpg");
            photo->isRAW = *c.isRAW;
        }
        AppStateTesting::setPhoto(state, photo);
        settle();
        EXPECT_EQ(RecoveryPanel::title(state), c.title);
        EXPECT_EQ(highlightsTip(), c.tip);
    }
    EXPECT_EQ(panel.findChild<QWidget*>("recoveryBlacks")->toolTip(),
              "Shape the deepest tones. Move left for depth or right to reveal dark detail.");
    EXPECT_EQ(panel.resetButton()->accessibleName(), "Reset RAW recovery");
}

TEST_F(RecoveryPanelTest, CompareTogglesAndEndsTheOtherComparisons) {
    QPushButton* compare = panel.findChild<QPushButton*>("compareRecovery");
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(compare->text(), "Compare recovery");
    state.setShowOriginal(true);
    state.setShowDenoiseOriginal(true);
    QTest::mouseClick(compare, Qt::LeftButton);
    settle();
    EXPECT_TRUE(state.showRecoveryOriginal());
    EXPECT_FALSE(state.showOriginal());
    EXPECT_FALSE(state.showDenoiseOriginal());
    EXPECT_EQ(compare->text(), "Show recovered");
    QTest::mouseClick(compare, Qt::LeftButton);
    settle();
    EXPECT_FALSE(state.showRecoveryOriginal());
    EXPECT_EQ(compare->text(), "Compare recovery");
}

TEST_F(RecoveryPanelTest, ResetZeroesTheFourFieldsOnlyAndEndsTheComparison) {
    harness.showPhoto("/photos/a.dng");
    state.updateEditParams([](EditParams& params) {
        params.highlights = -40;
        params.shadows = 30;
        params.whites = 10;
        params.blacks = -5;
        params.exposure = 1.2;
    });
    state.toggleEditLayer(EditLayer::highlights);
    state.toggleRecoveryComparison();
    settle();
    panel.resetButton()->click();
    settle();
    EditParams expected;
    expected.exposure = 1.2;
    EXPECT_EQ(state.editParams(), expected);
    EXPECT_FALSE(state.showRecoveryOriginal());
    EXPECT_FALSE(state.disabledEditLayers().contains(EditLayer::highlights));

    // With nothing to reset the edit stays as it was and no comparison is announced.
    harness.log->clear();
    panel.resetButton()->click();
    settle();
    EXPECT_EQ(state.editParams(), expected);
    EXPECT_EQ(harness.log->count(AppState::Field::showRecoveryOriginal), 0);
}

}  // namespace
}  // namespace quillmere
