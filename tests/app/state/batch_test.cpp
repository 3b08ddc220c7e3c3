#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

// A batch operation's outcome as the test reads it: the failure text of a save ("" for none),
// the result of an export.
class Batch : public testing::StateTest {
  protected:
    void save() {
        saved.reset();
        state.saveAllEdits([&](auto error) { saved = error ? error->what() : ""; });
    }
    void exportPhotos(ExportScope scope, ExportFormat format = ExportFormat::jpeg,
                      std::optional<std::filesystem::path> destination = std::nullopt) {
        exported.reset();
        ExportOptions options;
        options.format = format;
        state.exportPhotos(scope, options, destination,
                           [&](auto result) { exported = result; });
    }

    const std::filesystem::path a = harness.file("a.dng"), b = harness.file("b.dng"),
                                c = harness.file("c.dng");
    std::optional<std::string> saved;
    std::optional<BatchExportResult> exported;
};
using SaveAllEdits = Batch;
using BatchExport = Batch;
using SyncSelected = Batch;

TEST_F(SaveAllEdits, WritesEveryPhotoAndOpensOnlyWhatWasNeverOpened) {
    save();
    EXPECT_EQ(saved, "");
    harness.open(a);
    harness.request({a, b, c});
    harness.answerOpen();
    state.selectAllPhotos();
    state.applyPreset({"Warm", "Film", {.temperatureScale = 1.1}});
    harness.engine->openedURLs.clear();
    save();
    EXPECT_TRUE(state.isApplyingEdits());
    harness.answerAll();
    EXPECT_EQ(saved, "");
    // b and c are opened to build their edits, a once more at the end.
    EXPECT_EQ(harness.engine->openedURLs, (std::vector{b, c, a}));
    for (const SessionPhoto& photo : state.sessionPhotos()) {
        EXPECT_TRUE(state.photoEditStore().savedState(photo.url)) << photo.url;
        EXPECT_TRUE(photo.isEdited);
    }
    EXPECT_DOUBLE_EQ(state.photoEditStore().savedState(a)->params.temperature, 4300 * 1.1);
    // The pending preset went into c's edit once and is not applied again when c opens.
    harness.open(c);
    EXPECT_DOUBLE_EQ(state.editParams().temperature, 4300 * 1.1);

    harness.request({harness.file("d.dng"), harness.file("e.dng"), harness.file("f.dng")});
    harness.answerOpen();
    save();
    harness.failOpen(0, "gone");
    harness.failOpen(0, "gone too");
    harness.answerAll();
    EXPECT_EQ(saved, "e.dng: gone\nf.dng: gone too");
}

// Quitting would lose an edit exactly while a photo's edit differs from what its edit file
// holds, or waits for a photo never opened; a photo opened and left alone has nothing to lose.
TEST_F(SaveAllEdits, UnsavedMeansUnlikeTheEditFile) {
    PhotoSessionState filed;
    filed.params = testing::exposed(1);
    state.photoEditStore().save(filed, c);
    harness.open(c);
    harness.request({a, b});
    harness.answerOpen();
    // a from the defaults, c from its file, b never opened.
    EXPECT_FALSE(state.hasUnsavedEdits());
    const auto expose = [&](double ev) {
        state.updateEditParams([ev](EditParams& edit) { edit.exposure = ev; });
    };
    expose(2);
    EXPECT_TRUE(state.hasUnsavedEdits());
    // Back where it started: compared, not flagged.
    expose(0);
    EXPECT_FALSE(state.hasUnsavedEdits());
    AppStateTesting::sessionState(state, c).params.exposure = 3;
    EXPECT_TRUE(state.hasUnsavedEdits());
    AppStateTesting::sessionState(state, c).params.exposure = 1;

    // An edit carried to b, never opened, then taken back from a alone.
    AppStateTesting::select(state, {a, b});
    expose(0.5);
    AppStateTesting::select(state, {a});
    expose(0);
    EXPECT_TRUE(state.hasUnsavedEdits());
    save();
    harness.answerAll();
    EXPECT_EQ(saved, "");
    EXPECT_FALSE(state.hasUnsavedEdits());
}

// Cached photos are saved in filmstrip order without the stack growing with their number, and
// the open photo is opened again at the end.
TEST_F(SaveAllEdits, FiftyThousandCachedPhotosAreVisitedInOrder) {
    // A file where the edit folder belongs fails every write at once, without touching the disk,
    // and gives each photo a line in the order it was visited.
    std::ofstream(state.photoEditStore().directory()) << "not a folder";
    std::vector<std::filesystem::path> photos;
    for (int index = 0; index < 50'000; ++index) {
        photos.push_back(harness.file("p" + std::to_string(index) + ".dng"));
        AppStateTesting::sessionState(state, photos.back());
    }
    AppStateTesting::addSessionPhotos(state, photos);
    AppStateTesting::showPhoto(state, scriptedPhoto(photos[7]));
    save();
    harness.answerAll();
    EXPECT_EQ(harness.engine->openedURLs, std::vector{photos[7]});
    std::istringstream lines(saved.value_or(""));
    std::string line;
    for (const auto& photo : photos) {
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line.rfind(photo.filename().string() + ": ", 0), 0u) << line;
    }
    EXPECT_FALSE(std::getline(lines, line));
}

TEST_F(BatchExport, NamesNeverReplaceAFileAndEachFolderGetsItsOwnExports) {
    exportPhotos(ExportScope::current);
    EXPECT_EQ(exported->failures, std::vector<std::string>{"No photos selected."});

    const auto raw = harness.file("a.CR3"), other = harness.file("other/b.dng");
    std::filesystem::create_directories(harness.file("exports"));
    std::ofstream(harness.file("exports/a_edit.jpg")) << "mine";
    harness.open(raw);
    harness.request({raw, other});
    exportPhotos(ExportScope::all);
    EXPECT_EQ(exported->failures,
              std::vector<std::string>{"Wait for the current operation to finish."});
    EXPECT_FALSE(state.isExporting());
    harness.answerOpen();

    exportPhotos(ExportScope::all);
    harness.executor->runPending();
    EXPECT_EQ(state.exportStatus(), "1 of 2 · a.CR3");
    // Saving waits for the export and writes nothing meanwhile.
    save();
    EXPECT_EQ(saved, "Wait for the current operation to finish.");
    harness.answerAll();
    EXPECT_FALSE(std::filesystem::exists(state.photoEditStore().directory()));
    EXPECT_EQ(exported->outputs, (std::vector{harness.file("exports/a_edit_1.jpg"),
                                              harness.file("other/exports/b_edit.jpg")}));
    std::ifstream mine(harness.file("exports/a_edit.jpg"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), "mine");
    EXPECT_EQ(state.exportStatus(), std::nullopt);
    EXPECT_EQ(state.exportProgress(), 1.0);

    for (int run = 0; run < 2; ++run) {
        exportPhotos(ExportScope::current, ExportFormat::dng);
        harness.answerAll();
    }
    EXPECT_EQ(exported->outputs, std::vector{harness.file("exports/a_edit_1.dng")});
    EXPECT_TRUE(std::filesystem::exists(harness.file("exports/a_edit.dng")));
}

TEST_F(BatchExport, OneBadPhotoNeverStopsTheBatch) {
    harness.open(a);
    harness.request({a, b, c});
    harness.answerOpen();
    std::filesystem::create_directories(state.photoEditStore().directory());
    std::ofstream(state.photoEditStore().location(b)) << "{";
    exportPhotos(ExportScope::all, ExportFormat::jpeg, harness.file("out"));
    harness.answerAll();
    EXPECT_EQ(exported->outputs,
              (std::vector{harness.file("out/a_edit.jpg"), harness.file("out/c_edit.jpg")}));
    ASSERT_EQ(exported->failures.size(), 1u);
    EXPECT_EQ(exported->failures[0], "b.dng: The saved edit of this photo could not be read from “" +
                                         state.photoEditStore().location(b).string() +
                                         "”: The data couldn’t be read because it isn’t in the "
                                         "correct format.");

    // A photo opened without Detail is exported with Natural, whatever its cached edit asks.
    state.updateEditParams([](EditParams& e) { e.denoiseMethod = DenoiseMethod::matchFilter; });
    exportPhotos(ExportScope::current);
    harness.answerOpen(0, scriptedPhoto(a, false));
    EXPECT_EQ(harness.engine->exports.at(0).params.denoiseMethod, DenoiseMethod::natural);
    harness.engine->completeExport();
    harness.failOpen(0, "engine lost");
    EXPECT_EQ(exported->failures,
              std::vector<std::string>{"Could not restore preview: engine lost"});
}

TEST_F(BatchExport, AWriteThatFailsLeavesNoFileUnderTheChosenName) {
    harness.open(a);
    // The file size limit holds for root too; the child reports through its exit status.
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        exportPhotos(ExportScope::current);
        harness.answerOpen();
        harness.engine->completeExport(0, std::string(5000, 'x'));
        harness.answerAll();
        ::_exit(exported && exported->outputs.empty() && exported->failures.size() == 1 &&
                        !std::filesystem::exists(harness.file("exports/a_edit.jpg"))
                    ? 0
                    : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(SyncSelected, CopiesTheEditWithoutSpotRepairsAndKeepsFailuresApart) {
    harness.open(a);
    state.setLastError("earlier");
    bool finished = false;
    state.applyCurrentEditsToSelected([&] { finished = true; });
    EXPECT_TRUE(state.isApplyingEdits());
    harness.answerAll();
    EXPECT_TRUE(finished && !state.isApplyingEdits());
    // Only the final reopen: the open photo is no target of its own.
    EXPECT_EQ(harness.engine->openedURLs, (std::vector{a, a}));
    EXPECT_EQ(state.lastError(), "earlier");

    harness.request({a, b, c});
    harness.answerOpen();
    state.selectAllPhotos();
    state.updateEditParams([](EditParams& edit) { edit.tint = 3; });
    // The open photo need not be selected itself.
    AppStateTesting::select(state, {b, c});
    state.updateEditParams([](EditParams& edit) {
        edit.exposure = 2;
        edit.denoiseMethod = DenoiseMethod::matchFilter;
        edit.spotRepairs = {SpotRepair(UUID::random(), 0.5, 0.5, 0.01, {})};
    });
    state.applyCurrentEditsToSelected([] {});
    harness.answerOpen(0, scriptedPhoto(b, false));
    harness.failOpen(0, "unreadable");
    harness.answerAll();
    EXPECT_EQ(state.lastError(), "c.dng: unreadable");
    harness.open(b);
    EXPECT_EQ(state.editParams().exposure, 2);
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::natural);
    EXPECT_TRUE(state.editParams().spotRepairs.empty());
    EXPECT_EQ(state.pendingSelectionEdits().at(c), std::vector{PresetValues{.tint = 3}});
}

// Each photo leaves with its own edit: the open one with what it shows, one opened before with
// its cached edit, one never opened with its starting edit and the changes it collected.
TEST_F(BatchExport, EachPhotoIsExportedWithItsOwnEdit) {
    const auto expose = [&](double ev) {
        state.updateEditParams([ev](EditParams& edit) { edit.exposure = ev; });
    };
    harness.open(b);
    expose(2);
    harness.open(a);
    expose(1);
    AppStateTesting::addSessionPhotos(state, {c});
    AppStateTesting::select(state, {a, c});
    state.updateEditParams([](EditParams& edit) { edit.tint = 30; });

    exportPhotos(ExportScope::all);
    // Visited in filmstrip order; the scripted photos were shot at tint +7.
    const struct {
        std::filesystem::path photo;
        double exposure, tint;
    } expected[] = {{b, 2, 7}, {a, 1, 30}, {c, 0, 30}};
    for (const auto& each : expected) {
        harness.answerOpen();
        ASSERT_EQ(harness.engine->exports.size(), 1u) << each.photo;
        const ScriptedEngine::ExportRequest& request = harness.engine->exports.front();
        EXPECT_EQ(request.photo.url, each.photo);
        EXPECT_EQ(request.params.exposure, each.exposure) << each.photo;
        EXPECT_EQ(request.params.tint, each.tint) << each.photo;
        harness.engine->completeExport();
    }
    harness.answerAll();
    EXPECT_EQ(exported->outputs.size(), 3u);
}

}  // namespace
}  // namespace quillmere
