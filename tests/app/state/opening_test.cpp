#include <gtest/gtest.h>

#include <fstream>

#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::StateHarness;

TEST(Opening, RequestsKeepSupportedFilesAndTheLaunchArgumentIsReadOnce) {
    StateHarness harness;
    AppState& state = *harness.state;
    state.openLaunchArgumentIfPresent({"quillmere", "--open"});
    state.openLaunchArgumentIfPresent({"quillmere", "--open", harness.file("a.dng").c_str()});
    EXPECT_TRUE(harness.engine->openedURLs.empty());

    EXPECT_FALSE(harness.request({harness.file("notes.txt")}));
    EXPECT_EQ(state.lastError(),
              "Quillmere can open RAW files from most camera brands, Apple "
              "ProRAW/DNG, JPEG, HEIC, and HEIF photos.");
    EXPECT_TRUE(harness.request(
        {harness.file("notes.txt"), harness.file("x/../B.NEF"), harness.file("c.jpg")}));
    EXPECT_EQ(harness.engine->openedURLs, std::vector{harness.file("B.NEF")});
    EXPECT_EQ(state.sessionPhotos().size(), 2u);
    EXPECT_EQ(harness.thumbnails->items.size(), 2u);
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{harness.file("B.NEF")});
    EXPECT_TRUE(state.isOpening());
    EXPECT_EQ(state.lastError(), std::nullopt);

    // Reopening a session photo adds nothing but opens it afresh.
    harness.answerOpen();
    harness.request({harness.file("c.jpg"), harness.file("B.NEF")});
    EXPECT_EQ(state.sessionPhotos().size(), 2u);
    EXPECT_EQ(harness.thumbnails->items.size(), 2u);
    EXPECT_EQ(harness.engine->openedURLs.size(), 2u);
}

TEST(Opening, OnlyTheNewestOpenLandsAndAnEditMadeMeanwhileIsKept) {
    StateHarness harness;
    AppState& state = *harness.state;
    const auto a = harness.file("a.dng"), b = harness.file("b.dng"), c = harness.file("c.dng");
    harness.open(a);
    harness.request({b});
    // The user keeps editing the photo still shown while the engine opens the next.
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1.5; });
    harness.answerOpen();
    harness.open(a);
    EXPECT_EQ(state.editParams().exposure, 1.5);

    // Answers of older requests arriving late change nothing and report nothing.
    for (const auto& photo : {a, b, c}) harness.request({photo});
    harness.answerOpen(2);
    harness.answerOpen(0);
    harness.engine->failOpen(0, std::make_exception_ptr(std::runtime_error("late")));
    harness.executor->runPending();
    EXPECT_EQ(state.photoURL(), c);
    EXPECT_EQ(state.lastError(), std::nullopt);
    EXPECT_FALSE(state.isOpening());
}

TEST(Opening, StartingStatesComeFromTheCacheTheEditFileOrTheCamera) {
    StateHarness harness;
    AppState& state = *harness.state;
    const auto raw = harness.file("raw.dng"), corrupt = harness.file("corrupt.dng");
    state.setColorSamplerActive(true);
    state.setShowOriginal(true);
    harness.open(raw, scriptedPhoto(raw, false));
    EditParams expected = EditParams::neutral(4300, 7);
    expected.sharpening = SharpeningSettings::classic();
    EXPECT_EQ(state.editParams(), expected);
    EXPECT_TRUE(state.colorSamplerActive());
    EXPECT_FALSE(state.showOriginal());

    // A cached state asking for Detail still opens Natural where Detail is not offered.
    AppStateTesting::sessionStates(state)[raw].params.denoiseMethod = DenoiseMethod::matchFilter;
    harness.open(raw, scriptedPhoto(raw, false));
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::natural);

    std::filesystem::create_directories(state.photoEditStore().directory());
    std::ofstream(state.photoEditStore().location(corrupt)) << "{";
    harness.open(corrupt);
    EXPECT_EQ(state.photoURL(), raw);
    EXPECT_EQ(state.lastError()->rfind("Could not open corrupt.dng: The data couldn’t be read", 0),
              0u);
    EXPECT_EQ(state.sessionPhotos().back().url, corrupt);
}

TEST(Selection, ClicksCheckboxesAndSelectAll) {
    StateHarness harness;
    AppState& state = *harness.state;
    const auto a = harness.file("a.dng"), b = harness.file("b.dng"), c = harness.file("c.dng");
    for (const auto& photo : {a, b, c}) harness.open(photo);
    state.selectAllPhotos();
    state.selectPhoto(b, false);
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{b});
    harness.answerOpen();
    state.togglePhotoSelection(a);
    harness.answerOpen();
    EXPECT_EQ(state.selectedPhotoIDs(), (std::set{a, b}));
    EXPECT_EQ(state.photoURL(), a);
    // Unchecking a photo that is not open changes only the selection.
    state.togglePhotoSelection(b);
    harness.executor->runPending();
    EXPECT_TRUE(harness.engine->opens.empty());
    state.togglePhotoSelection(b);
    harness.answerOpen();
    // Ctrl-click on the open photo: it leaves, the first other selected photo opens.
    state.selectPhoto(b, true);
    harness.answerOpen();
    EXPECT_EQ(state.photoURL(), a);
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{a});
    state.selectPhoto(harness.file("elsewhere.dng"), false);
    harness.executor->runPending();
    EXPECT_TRUE(harness.engine->opens.empty());

    // While an open runs, clicks work but checkboxes and Select All do not.
    state.selectPhoto(c, false);
    state.togglePhotoSelection(a);
    state.selectAllPhotos();
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{c});
    state.selectPhoto(a, false);
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{a});
    harness.answerOpen();
    EXPECT_EQ(state.photoURL(), a);
}

}  // namespace
}  // namespace quillmere
