#include "app/workspace/native_workspace.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QListWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTest>

#include "app/kit/collapsible_group.h"
#include "app/kit/elided_label.h"
#include "app/kit/ui_timing.h"
#include "app/panels/capture_metadata_view.h"
#include "app/panels/edit_layer_row.h"
#include "app/panels/histogram_view.h"
#include "app/panels/slider_panel.h"
#include "app/workspace/library_sidebar.h"
#include "app/workspace/preview_view.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;

class NativeWorkspaceTest : public testing::StateTest {
  protected:
    NativeWorkspaceTest() {
        workspace->resize(1440, 800);
        workspace->show();
    }
    QWidget* find(const char* name) { return workspace->findChild<QWidget*>(name); }
    QList<int> sizes() {
        QCoreApplication::processEvents();
        return workspace->splitter().sizes();
    }

    Preferences& preferences = *harness.preferences;
    std::unique_ptr<NativeWorkspace> workspace =
        std::make_unique<NativeWorkspace>(state, preferences);
};

TEST_F(NativeWorkspaceTest, PaneWidthsStayWithinTheirLimits) {
    EXPECT_EQ(sizes()[0], 240);
    EXPECT_EQ(sizes()[2], 340) << "the inspector's 320 raised to its minimum";
    QSplitter& splitter = workspace->splitter();
    for (const int width : {900, 1440, 2600}) {
        workspace->resize(width, 800);
        // Both dividers dragged as far as they go, outwards and then inwards.
        for (const int drag : {-2000, 2000}) {
            for (const int divider : {1, 2}) {
                QWidget* handle = splitter.handle(divider);
                const QPoint grip = handle->rect().center();
                const QPoint to = grip + QPoint(divider == 1 ? -drag : drag, 0);
                QTest::mousePress(handle, Qt::LeftButton, {}, grip);
                QTest::mouseMove(handle, to);
                QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
            }
            const QList<int> panes = sizes();
            EXPECT_TRUE(panes[0] >= 210 && panes[0] <= 300) << width << ": " << panes[0];
            EXPECT_GE(panes[1], 320) << width;
            EXPECT_TRUE(panes[2] >= 340 && panes[2] <= 420) << width << ": " << panes[2];
            EXPECT_GE(panes[0] + panes[1] + panes[2], width - 2) << "no pane leaves a gap";
        }
    }
}

TEST_F(NativeWorkspaceTest, PanesAndTheFilmstripFollowThePreferences) {
    EXPECT_EQ(find("filmstrip"), nullptr) << "no photos, no filmstrip";
    harness.open(harness.file("a.dng"));
    harness.settle();
    EXPECT_NE(find("filmstrip"), nullptr);
    preferences.setValue("filmstrip.visible", false);
    EXPECT_EQ(find("filmstrip"), nullptr);
    preferences.setValue("filmstrip.visible", true);
    EXPECT_NE(find("filmstrip"), nullptr) << "a new one";

    QWidget* library = find("librarySidebar");
    preferences.setValue("library.visible", false);
    EXPECT_TRUE(library->isHidden());
    const QList<int> before = sizes();
    workspace->setVisibility(false, true);
    EXPECT_EQ(sizes(), before) << "a pane as asked is left alone";
    workspace->setVisibility(true, true);
    EXPECT_FALSE(library->isHidden());

    preferences.setValue("inspector.visible", false);
    EXPECT_TRUE(find("sliderPanel")->isHidden());
    workspace->revealEdit(EditLayer::exposure);
    EXPECT_FALSE(find("sliderPanel")->isHidden());
    EXPECT_EQ(preferences.value("inspector.visible"), true);
    EXPECT_EQ(state.requestedEditLayer(), EditLayer::exposure);
}

TEST_F(NativeWorkspaceTest, SidebarPreviewAndInspectorWaitWhileEditsAreApplied) {
    harness.open(harness.file("a.dng"));
    // Saving ends by opening the open photo again, which waits for the engine.
    state.saveAllEdits([](auto) {});
    harness.settle();
    ASSERT_TRUE(state.isApplyingEdits());
    for (const char* name : {"librarySidebar", "preview", "sliderPanel"}) {
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    }
    harness.answerAll();
    harness.settle();
    for (const char* name : {"librarySidebar", "preview", "sliderPanel"}) {
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    }
}

TEST_F(NativeWorkspaceTest, TheLibraryOpensOnPresetsAndRemembersItsTab) {
    auto& tabs = *workspace->findChild<QListWidget*>("libraryTabs");
    EXPECT_EQ(tabs.currentItem()->text(), "Presets");

    const QRect row = tabs.visualItemRect(tabs.item(1));
    QTest::mouseClick(tabs.viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(preferences.value("library.tab"), "Checkpoints");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_NE(find("checkpointsSection"), nullptr);
    EXPECT_EQ(find("presetsSection"), nullptr);

    preferences.setValue("library.tab", "Albums");
    EXPECT_EQ(tabs.currentItem(), nullptr);
    EXPECT_NE(find("presetsSection"), nullptr);
}

TEST_F(NativeWorkspaceTest, LongNamesAndAHugeValueKeepEveryButtonInTheSidebarAndTheInspector) {
    const QString folder = "Folder " + QString(193, 'f');
    state.presetStore().save({"Preset " + std::string(193, 'p'), folder.toStdString(), {}});
    state.reloadPresets();
    harness.open(harness.file("a.dng"));
    state.updateEditParams([](EditParams& edit) {
        // clang-format off
        edit = {.exposure = 1e300, .contrast = 20, .highlights = -30, .shadows = 25,
                .whites = 10, .blacks = -10, .temperature = 7300, .tint = 35, .vibrance = 15,
                .saturation = -12, .denoise = 40,
                .spotRepairs = {SpotRepair(UUID::random(), 0.4, 0.5, 0.03, {})}};
        // clang-format on
        edit.sharpening.amount = 40;
        edit.toneCurve.rgb = {{0, 0}, {128, 150}, {255, 255}};
        edit.hsl.hue[0] = 10;
    });
    state.saveCheckpoint("Checkpoint " + std::string(189, 'c'));
    harness.settle();
    ASSERT_EQ(state.activeEditLayers().size(), allEditLayers.size());
    // Every button shown lies across the view, with no scroll bar to reach one.
    const auto expectEveryButtonInView = [](QScrollArea& area, const char* where) {
        EXPECT_FALSE(area.horizontalScrollBar()->isVisible()) << where;
        for (QAbstractButton* button : area.widget()->findChildren<QAbstractButton*>()) {
            const int left = button->mapTo(area.viewport(), QPoint()).x();
            EXPECT_TRUE(!button->isVisible() ||
                        (left >= 0 && left + button->width() <= area.viewport()->width()))
                << where << ": " << button->accessibleName().toStdString() << " at " << left;
        }
    };

    auto& library = *workspace->findChild<QScrollArea*>("librarySection");
    for (const char* tab : {"Checkpoints", "Edits", "Presets"}) {
        preferences.setValue("library.tab", tab);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (auto* group : library.findChildren<CollapsibleGroup*>()) group->setExpanded(true);
        settle();
        expectEveryButtonInView(library, tab);
        // A huge value shortens before its title does.
        if (auto* row = library.findChild<EditLayerRow*>("editLayer.exposure")) {
            EXPECT_FALSE(row->findChild<ElidedLabel*>()->isElided());
        }
    }
    auto* title = testing::childWith<CollapsibleGroup>(library, folder)->findChild<ElidedLabel*>();
    EXPECT_TRUE(title->isElided() && title->toolTip().contains(folder));
    auto* inspector = workspace->findChild<SliderPanel*>("sliderPanel");
    for (auto* panel : inspector->findChildren<CollapsibleGroup*>()) panel->setExpanded(true);
    settle();
    expectEveryButtonInView(*inspector->scrollArea(), "inspector");
}

// The workspace builds the real inspector, under the histogram and the capture data; a go-to from
// the edit stack in the library shows the hidden inspector and locates the layer.
TEST(HostedInspector, ShowsTheHistogramAndCaptureDataAndAGoToShowsItAndLocatesTheLayer) {
    testing::StateHarness harness;
    harness.preferences->setValue("library.tab", "Edits");
    harness.preferences->setValue("inspector.visible", false);
    NativeWorkspace workspace(*harness.state, *harness.preferences);
    auto* inspector = workspace.findChild<SliderPanel*>("sliderPanel");
    ASSERT_NE(inspector, nullptr) << "the workspace builds the real inspector";
    auto* histogram = inspector->findChild<HistogramView*>();
    auto* capture = inspector->findChild<CaptureMetadataView*>();
    ASSERT_TRUE(histogram && capture);
    workspace.show();
    EXPECT_TRUE(capture->isHidden());
    harness.open(harness.file("a.dng"));
    settle();
    EXPECT_FALSE(capture->isHidden() || inspector->isVisible());

    // The highlight at its real length, so that it outlasts a slow turn of the event loop.
    const double scale = UiTiming::scale();
    UiTiming::setScale(1);
    auto* goTo = workspace.findChild<EditLayerRow*>("editLayer.sharpening");
    QTest::mouseClick(goTo, Qt::LeftButton, {}, QPoint(goTo->width() / 2, 5));
    settle();
    EXPECT_TRUE(inspector->isVisible());
    EXPECT_EQ(inspector->locatedLayer(), EditLayer::sharpening);
    UiTiming::setScale(scale);
    HistogramData data;
    data.g[10] = 1;
    harness.state->setHistogram(data);
    settle();
    EXPECT_EQ(histogram->data(), data);
    EXPECT_LT(histogram->mapTo(inspector, QPoint()).y(),
              inspector->scrollArea()->mapTo(inspector, QPoint()).y());
}

// Each tab of the library shows its own section, the edit stack under "Edits".
TEST_F(NativeWorkspaceTest, EachLibraryTabShowsItsSection) {
    harness.open(harness.file("a.dng"));
    harness.settle();
    auto& tabs = *workspace->findChild<QListWidget*>("libraryTabs");
    const std::pair<int, const char*> sections[] = {
        {2, "editStackSection"}, {1, "checkpointsSection"}, {0, "presetsSection"}};
    for (const auto& [row, section] : sections) {
        QTest::mouseClick(tabs.viewport(), Qt::LeftButton, {},
                          tabs.visualItemRect(tabs.item(row)).center());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const QWidget* shown = workspace->findChild<QScrollArea*>("librarySection")->widget();
        QStringList names;
        for (const QWidget* child : shown->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            names << child->objectName();
        }
        EXPECT_EQ(names, QStringList{section}) << row;
    }
}

}  // namespace
}  // namespace quillmere
