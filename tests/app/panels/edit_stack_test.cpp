#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "app/panels/edit_layer_row.h"
#include "app/panels/kit/ui_timing.h"
#include "app/panels/edit_stack_section.h"
#include "app/panels/slider_panel.h"
#include "app/workspace/native_workspace.h"
#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::settle;

class EditStackTest : public ::testing::Test {
  protected:
    EditStackTest() {
        section.show();
        settle();
    }
    EditLayerRow* row(const char* layer) {
        return section.findChild<EditLayerRow*>(QString("editLayer.") + layer);
    }
    // The rows shown, top to bottom, each as "title value".
    QStringList listed() {
        QStringList rows;
        for (EditLayerRow* row : section.findChildren<EditLayerRow*>()) {
            if (row->isVisibleTo(&section)) {
                const auto labels = row->findChildren<QLabel*>();
                rows << labels[0]->text() + " " + labels[1]->text();
            }
        }
        return rows;
    }
    QString count() { return section.findChild<QLabel*>("editStackCount")->text(); }
    bool showsEmptyText() {
        return section.findChild<QLabel*>("editStackEmpty")->isVisibleTo(&section);
    }
    double titleOpacity(const char* layer) {
        const QLabel* title = row(layer)->findChild<QLabel*>();
        return title->palette().color(title->foregroundRole()).alphaF();
    }
    QToolButton* button(const char* layer, int index) {
        return row(layer)->findChildren<QToolButton*>()[index];
    }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    std::vector<EditLayer> selected;
    EditStackSection section{state, [this](EditLayer layer) { selected.push_back(layer); }};
};

TEST_F(EditStackTest, ListsActiveLayersFromTheirThresholds) {
    EXPECT_EQ(count(), "0");
    EXPECT_TRUE(showsEmptyText());
    harness.open(harness.file("a.dng"));  // as shot 4300 K, tint 7; classic sharpening
    settle();
    EXPECT_EQ(listed(), QStringList{"Sharpening 40 · 1.0 px"});
    EXPECT_FALSE(showsEmptyText());
    struct Case {
        double temperature, exposure;
        QStringList rows;
    };
    for (const Case& c : {Case{4300.4, 0.0049, {}}, Case{4299.5, -0.005, {"4300 K", "-0.01"}},
                          Case{4300.5, 0.25, {"4301 K", "+0.25"}}}) {
        state.updateEditParams([&](EditParams& params) {
            params.temperature = c.temperature;
            params.exposure = c.exposure;
        });
        settle();
        QStringList expected{"Sharpening 40 · 1.0 px"};
        if (!c.rows.isEmpty()) expected << "Temperature " + c.rows[0] << "Exposure " + c.rows[1];
        EXPECT_EQ(listed(), expected) << c.temperature;
        EXPECT_EQ(count(), QString::number(expected.size()));
    }

    // Folded, the count still follows.
    QTest::mouseClick(section.findChild<QWidget*>("editStackHeader"), Qt::LeftButton);
    state.updateEditParams([](EditParams& params) { params.contrast = 12; });
    settle();
    EXPECT_EQ(listed(), QStringList{});
    EXPECT_EQ(count(), "4");
    EXPECT_FALSE(showsEmptyText());
}

TEST_F(EditStackTest, BypassKeepsTheRowAndResetRemovesIt) {
    EditParams params;
    params.temperature = 4300;
    params.tint = 7;
    params.exposure = 0.5;
    params.spotRepairs = {SpotRepair(UUID::random(), 0.5, 0.5, 0.01, {})};
    harness.showPhoto(harness.file("a.dng"), true, params);
    settle();
    QTest::mouseClick(button("exposure", 0), Qt::LeftButton);
    settle();
    EXPECT_TRUE(state.disabledEditLayers().contains(EditLayer::exposure));
    EXPECT_EQ(listed(), (QStringList{"Spot Repair 1 stroke", "Exposure +0.50"}));
    EXPECT_EQ(button("exposure", 0)->accessibleName(), "Enable Exposure");
    EXPECT_EQ(button("spotRepair", 0)->accessibleName(), "Temporarily disable Spot Repair");
    EXPECT_LT(titleOpacity("exposure"), titleOpacity("spotRepair"));

    QTest::mouseClick(button("exposure", 1), Qt::LeftButton);
    QTest::mouseClick(button("spotRepair", 1), Qt::LeftButton);
    settle();
    EXPECT_EQ(listed(), QStringList{});
    EXPECT_TRUE(state.disabledEditLayers().empty());
    state.undoSpotRepair();
    settle();
    EXPECT_EQ(listed(), QStringList{"Spot Repair 1 stroke"});

    QTest::mouseClick(row("spotRepair"), Qt::LeftButton, {},
                      QPoint(row("spotRepair")->width() / 2, 5));
    EXPECT_EQ(selected, std::vector{EditLayer::spotRepair});
}

TEST(EditStackInWorkspace, GoToShowsTheHiddenInspectorAndLocatesTheLayer) {
    testing::StateHarness harness;
    harness.preferences->setValue("library.tab", "Edits");
    harness.preferences->setValue("inspector.visible", false);
    NativeWorkspace workspace(*harness.state, *harness.preferences);
    workspace.resize(1400, 800);
    workspace.show();
    harness.open(harness.file("a.dng"));
    settle();
    auto* goTo = workspace.findChild<EditLayerRow*>("editLayer.sharpening");
    ASSERT_TRUE(goTo && goTo->isVisible());
    // The highlight at its real length, so that it outlasts a slow turn of the event loop.
    const double scale = UiTiming::scale();
    UiTiming::setScale(1);
    QTest::mouseClick(goTo, Qt::LeftButton, {}, QPoint(goTo->width() / 2, 5));
    settle();
    auto* inspector = workspace.findChild<SliderPanel*>();
    EXPECT_TRUE(inspector->isVisible());
    EXPECT_EQ(inspector->locatedLayer(), EditLayer::sharpening);
    UiTiming::setScale(scale);
}

}  // namespace
}  // namespace quillmere
