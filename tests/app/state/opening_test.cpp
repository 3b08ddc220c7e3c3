#include <gtest/gtest.h>

#include <fstream>

#include "core/common/file_io.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/photo_metadata.h"
#include "core/render/export/embedded_metadata.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

class Opening : public testing::StateTest {
  protected:
    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng"),
                                c = harness.file("c.dng");
};
using Selection = Opening;

TEST_F(Opening, RequestsKeepSupportedFilesAndTheLaunchArgumentIsReadOnce) {
    state.openLaunchArgumentIfPresent({"quillmere", "--open"});
    state.openLaunchArgumentIfPresent({"quillmere", "--open", a.c_str()});
    EXPECT_TRUE(harness.engine->openedURLs.empty());

    EXPECT_FALSE(harness.request({harness.file("notes.txt")}));
    EXPECT_EQ(state.lastError(),
              "Quillmere can open RAW files from most camera brands, Apple "
              "ProRAW/DNG, JPEG, HEIC, and HEIF photos.");
    const auto raw = harness.file("B.NEF"), jpeg = harness.file("c.jpg");
    EXPECT_TRUE(harness.request({harness.file("notes.txt"), harness.file("x/../B.NEF"), jpeg}));
    EXPECT_EQ(harness.engine->openedURLs, std::vector{raw});
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{raw});
    EXPECT_TRUE(state.isOpening());
    EXPECT_EQ(state.lastError(), std::nullopt);

    // Reopening a session photo adds nothing but opens it afresh.
    harness.answerOpen();
    harness.request({jpeg, raw});
    EXPECT_EQ(state.sessionPhotos().size(), 2u);
    EXPECT_EQ(harness.thumbnails->items.size(), 2u);
    EXPECT_EQ(harness.engine->openedURLs, (std::vector{raw, jpeg}));
}

TEST_F(Opening, OnlyTheNewestOpenLandsAndAnEditMadeMeanwhileIsKept) {
    harness.open(a);
    harness.request({b});
    // The user keeps editing the photo still shown while the engine opens the next.
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1.5; });
    harness.answerOpen();
    harness.open(a);
    EXPECT_EQ(state.editParams().exposure, 1.5);

    // Answers of older requests, before or after the newest one's, change and report nothing.
    for (const auto& photo : {a, b, c}) harness.request({photo});
    harness.failOpen(0, "early");
    EXPECT_TRUE(state.isOpening());
    harness.answerOpen(1);
    harness.answerOpen(0);
    EXPECT_EQ(state.photoURL(), c);
    EXPECT_EQ(state.lastError(), std::nullopt);
    EXPECT_FALSE(state.isOpening());
}

TEST_F(Opening, StartingStatesComeFromTheCacheTheEditFileOrTheCamera) {
    state.setColorSamplerActive(true);
    state.setShowOriginal(true);
    harness.open(a, scriptedPhoto(a, false));
    EditParams expected = EditParams::neutral(4300, 7);
    expected.sharpening = SharpeningSettings::classic();
    EXPECT_EQ(state.editParams(), expected);
    EXPECT_TRUE(state.colorSamplerActive());
    EXPECT_FALSE(state.showOriginal());

    // A cached state asking for Detail still opens Natural where Detail is not offered.
    AppStateTesting::sessionState(state, a).params.denoiseMethod = DenoiseMethod::matchFilter;
    harness.open(a, scriptedPhoto(a, false));
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::natural);

    // A damaged edit file fails the open, and the text names that file, not the photo, as the
    // fault.
    const std::filesystem::path editFile = state.photoEditStore().location(b);
    std::filesystem::create_directories(editFile.parent_path());
    std::ofstream(editFile) << "{";
    harness.open(b);
    EXPECT_EQ(state.photoURL(), a);
    EXPECT_EQ(state.lastError(),
              "Could not open b.dng: The saved edit of this photo could not be "
              "read from “" +
                  editFile.string() +
                  "”: The data couldn’t be read because it isn’t in the "
                  "correct format.");
    EXPECT_EQ(state.sessionPhotos().back().url, b);
}

TEST_F(Opening, AnEmbeddedEditNotYetInThePixelsIsThePhotosEdit) {
    const std::string jpeg = encodeJpeg({8, 8, std::vector<std::uint8_t>(8 * 8 * 3)}, 0.9);
    for (bool applied : {false, true}) {
        EmbeddedEditRecord record(testing::exposed(1));
        record.editsAppliedToPixels = applied;
        PhotoMetadata metadata;
        metadata.xmp().setText(EmbeddedMetadata::editRecordPath, record.json());
        const auto photo = harness.file(applied ? "applied.jpg" : "pending.jpg");
        file_io::writeFileAtomically(photo, metadata.writeToJpeg(jpeg));
        harness.open(photo);
        EXPECT_EQ(state.editParams().exposure, applied ? 0 : 1);
        EXPECT_EQ(state.sessionPhotos().back().isEdited, !applied);
    }
}

// A JPEG named `name` whose embedded record, its edit not yet in the pixels, has exposure `ev`,
// beside a Camera Raw sidecar that sets the contrast to 20.
std::filesystem::path photoWithRecordAndSidecar(testing::StateHarness& harness,
                                                const std::string& name, double ev) {
    EmbeddedEditRecord record(testing::exposed(ev));
    record.editsAppliedToPixels = false;
    PhotoMetadata metadata;
    metadata.xmp().setText(EmbeddedMetadata::editRecordPath, record.json());
    const std::filesystem::path photo = harness.file(name);
    file_io::writeFileAtomically(
        photo, metadata.writeToJpeg(encodeJpeg({8, 8, std::vector<std::uint8_t>(8 * 8 * 3)}, 0.9)));
    std::filesystem::path sidecar = photo;
    file_io::writeFileAtomically(
        sidecar.replace_extension("xmp"),
        R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
        R"(<rdf:Description xmlns:crs="http://ns.adobe.com/camera-raw-settings/1.0/" )"
        R"(crs:Contrast2012="20"/></rdf:RDF></x:xmpmeta>)");
    return photo;
}

// The GUI thread reads no file of the photo: its record and sidecar are read on the file runner,
// and the GUI-thread queue gets only what they said. The files are gone before that answer lands,
// and the photo still opens with the record's edit over the sidecar's.
TEST_F(Opening, ThePhotosRecordAndSidecarAreReadOffTheGUIThread) {
    const std::filesystem::path photo = photoWithRecordAndSidecar(harness, "photo.jpg", 1);
    harness.request({photo});
    harness.engine->completeOpen();
    harness.executor->runPending();
    ASSERT_EQ(harness.fileReads->items.size(), 1u);
    EXPECT_EQ(state.photoURL(), std::nullopt);
    EXPECT_TRUE(state.isOpening());

    harness.fileReads->runItem(0);
    std::filesystem::remove(photo);
    std::filesystem::remove(harness.file("photo.xmp"));
    EXPECT_EQ(harness.executor->runPending(), 1);
    EXPECT_EQ(state.photoURL(), photo);
    EXPECT_FALSE(state.isOpening());
    EXPECT_EQ(state.editParams().exposure, 1);
    EXPECT_EQ(AppStateTesting::sessionState(state, photo).baseline.contrast, 20);
    EXPECT_TRUE(state.xmpLoaded());
}

// A photo whose open was overtaken while its files were read lands nowhere; the newer open does.
TEST_F(Opening, AnOpenOvertakenWhileItsFilesAreReadIsDropped) {
    const std::filesystem::path first = photoWithRecordAndSidecar(harness, "first.jpg", 1);
    const std::filesystem::path second = photoWithRecordAndSidecar(harness, "second.jpg", 2);
    harness.request({first});
    harness.engine->completeOpen();
    harness.executor->runPending();
    harness.request({second});
    harness.readFiles();
    EXPECT_EQ(state.photoURL(), std::nullopt);
    EXPECT_TRUE(state.isOpening());
    harness.answerOpen();
    EXPECT_EQ(state.photoURL(), second);
    EXPECT_EQ(state.editParams().exposure, 2);
    EXPECT_FALSE(state.isOpening());
}

TEST_F(Selection, ClicksCheckboxesAndSelectAll) {
    for (const auto& photo : {a, b, c}) harness.open(photo);
    state.selectAllPhotos();
    state.selectPhoto(b, false);
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{b});
    harness.answerOpen();
    state.togglePhotoSelection(a);
    harness.answerOpen();
    EXPECT_EQ(state.selectedPhotoIDs(), (std::set{a, b}));
    // Ctrl-click on the open photo: it leaves, the first other selected photo opens.
    state.selectPhoto(a, true);
    harness.answerOpen();
    EXPECT_EQ(state.photoURL(), b);
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{b});
    // Unchecking a photo that is not open changes only the selection; strangers are ignored.
    AppStateTesting::select(state, {a, c});
    state.togglePhotoSelection(c);
    state.selectPhoto(harness.file("elsewhere.dng"), false);
    harness.executor->runPending();
    EXPECT_TRUE(harness.engine->opens.empty());
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{a});

    // While an open runs, clicks work, the open photo's included, but checkboxes and Select
    // All do not.
    state.selectPhoto(c, false);
    state.togglePhotoSelection(a);
    state.selectAllPhotos();
    EXPECT_EQ(state.selectedPhotoIDs(), std::set{c});
    state.selectPhoto(b, false);
    harness.answerOpen();
    EXPECT_EQ(state.photoURL(), b);
}

}  // namespace
}  // namespace quillmere
