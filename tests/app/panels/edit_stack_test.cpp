#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "app/panels/edit_layer_row.h"
#include "app/panels/edit_stack_section.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;

class EditStackTest : public ::testing::Test {
  protected:
    EditStackTest() { section.show(); }
    EditLayerRow* row(const char* layer) {
        return section.findChild<EditLayerRow*>(QString("editLayer.") + layer);
    }
    // After the section has seen the state: the rows shown, top to bottom, as "title value".
    QStringList listed() {
        settle();
        QStringList rows;
        for (EditLayerRow* row : section.findChildren<EditLayerRow*>()) {
            const auto labels = row->findChildren<QLabel*>();
            if (row->isVisibleTo(&section)) rows << labels[0]->text() + " " + labels[1]->text();
        }
        return rows;
    }
    QString count() { return section.findChild<QLabel*>("editStackCount")->text(); }
    bool showsEmptyText() {
        return section.findChild<QLabel*>("editStackEmpty")->isVisibleTo(&section);
    }
    double titleOpacity(const char* layer) {
        const QLabel& title = *row(layer)->findChild<QLabel*>();
        return title.palette().color(title.foregroundRole()).alphaF();
    }
    // 0: the eye, 1: reset.
    void press(const char* layer, int button) {
        QTest::mouseClick(row(layer)->findChildren<QToolButton*>()[button], Qt::LeftButton);
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    EditStackSection section{state, {}};
};

TEST_F(EditStackTest, ListsActiveLayersFromTheirThresholdsAndCountsThemWhileFolded) {
    EXPECT_EQ(listed(), QStringList{});
    EXPECT_TRUE(showsEmptyText());
    harness.open(harness.file("a.dng"));  // as shot 4300 K, tint 7; classic sharpening
    state.updateEditParams([](EditParams& params) {
        params.temperature = 4300.5;
        params.exposure = 0.25;
    });
    EXPECT_EQ(listed(),
              (QStringList{"Sharpening 40 · 1.0 px", "Temperature 4301 K", "Exposure +0.25"}));

    QTest::mouseClick(section.findChild<QWidget*>("editStackHeader"), Qt::LeftButton);
    state.updateEditParams([](EditParams& params) { params.contrast = 12; });
    EXPECT_EQ(listed(), QStringList{});
    EXPECT_EQ(count(), "4");
    EXPECT_FALSE(showsEmptyText());
}

TEST_F(EditStackTest, BypassKeepsTheRowDimmedAndResetRemovesIt) {
    EditParams params;
    params.temperature = 4300;
    params.tint = 7;
    params.exposure = 0.5;
    params.spotRepairs = {SpotRepair(UUID::random(), 0.5, 0.5, 0.01, {})};
    harness.showPhoto(harness.file("a.dng"), true, params);
    press("exposure", 0);
    EXPECT_EQ(listed(), (QStringList{"Spot Repair 1 stroke", "Exposure +0.50"}));
    EXPECT_EQ(row("exposure")->findChild<QToolButton*>()->accessibleName(), "Enable Exposure");
    EXPECT_LT(titleOpacity("exposure"), titleOpacity("spotRepair"));

    press("exposure", 1);
    press("spotRepair", 1);
    EXPECT_EQ(listed(), QStringList{});
    EXPECT_TRUE(state.disabledEditLayers().empty());
    state.undoSpotRepair();
    EXPECT_EQ(listed(), QStringList{"Spot Repair 1 stroke"});
}

}  // namespace
}  // namespace quillmere
