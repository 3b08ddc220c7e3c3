#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "tests/app/support/app_state_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::StateHarness;

std::exception_ptr failure(const char* text) {
    return std::make_exception_ptr(std::runtime_error(text));
}

TEST(SaveAllEdits, WritesEveryPhotoAndOpensOnlyWhatWasNeverOpened) {
    StateHarness harness;
    AppState& state = *harness.state;
    std::optional<std::optional<AppState::SessionError>> outcome;
    const auto save = [&] {
        outcome.reset();
        state.saveAllEdits([&](auto error) { outcome = error; });
    };
    save();
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->has_value());

    const auto a = harness.file("a.dng"), b = harness.file("b.dng"), c = harness.file("c.dng");
    harness.open(a);
    harness.request({a, b, c});
    harness.answerOpen();
    state.selectAllPhotos();
    state.applyPreset({"Warm", "Film", {.temperatureScale = 1.1}});
    harness.engine->openedURLs.clear();
    save();
    EXPECT_TRUE(state.isApplyingEdits());
    harness.answerAll();
    EXPECT_FALSE(outcome.value());
    // b and c are opened to build their edits, a once more at the end.
    EXPECT_EQ(harness.engine->openedURLs, (std::vector{b, c, a}));
    for (const auto& photo : {a, b, c}) {
        EXPECT_TRUE(std::filesystem::exists(state.photoEditStore().location(photo)));
        EXPECT_TRUE(state.sessionPhotos().at(0).isEdited);
    }
    // The pending preset went into c's file once and is not applied again when c opens.
    harness.open(c);
    EXPECT_DOUBLE_EQ(state.editParams().temperature, 4300 * 1.1);

    harness.request({harness.file("d.dng"), harness.file("e.dng"), harness.file("f.dng")});
    harness.answerOpen();
    harness.engine->openedURLs.clear();
    save();
    harness.executor->runPending();
    harness.engine->failOpen(0, failure("gone"));
    harness.executor->runPending();
    harness.engine->failOpen(0, failure("gone too"));
    harness.answerAll();
    ASSERT_TRUE(outcome.value());
    EXPECT_STREQ(outcome->value().what(), "e.dng: gone\nf.dng: gone too");
}

TEST(BatchExport, NamesNeverReplaceAFileAndEachFolderGetsItsOwnExports) {
    StateHarness harness;
    AppState& state = *harness.state;
    std::optional<BatchExportResult> result;
    const auto exportPhotos = [&](ExportScope scope, ExportFormat format) {
        ExportOptions options;
        options.format = format;
        result.reset();
        state.exportPhotos(scope, options, std::nullopt, [&](auto done) { result = done; });
    };
    exportPhotos(ExportScope::current, ExportFormat::jpeg);
    EXPECT_EQ(result->failures, std::vector<std::string>{"No photos selected."});

    const auto a = harness.file("a.CR3"), b = harness.file("other/b.dng");
    std::filesystem::create_directories(harness.file("exports"));
    std::ofstream(harness.file("exports/a_edit.jpg")) << "mine";
    harness.open(a);
    harness.request({a, b});
    EXPECT_EQ(state.isOpening(), true);
    exportPhotos(ExportScope::all, ExportFormat::jpeg);
    EXPECT_EQ(result->failures,
              std::vector<std::string>{"Wait for the current operation to finish."});
    EXPECT_FALSE(state.isExporting());
    harness.answerOpen();

    exportPhotos(ExportScope::all, ExportFormat::jpeg);
    harness.executor->runPending();
    EXPECT_EQ(state.exportStatus(), "1 of 2 · a.CR3");
    harness.answerAll();
    EXPECT_EQ(result->outputs, (std::vector{harness.file("exports/a_edit_1.jpg"),
                                            harness.file("other/exports/b_edit.jpg")}));
    std::ifstream mine(harness.file("exports/a_edit.jpg"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), "mine");
    EXPECT_EQ(state.exportStatus(), std::nullopt);
    EXPECT_EQ(state.exportProgress(), 1.0);

    for (int run = 0; run < 2; ++run) {
        exportPhotos(ExportScope::current, ExportFormat::dng);
        harness.answerAll();
    }
    EXPECT_EQ(result->outputs, std::vector{harness.file("exports/a_edit_1.dng")});
    EXPECT_TRUE(std::filesystem::exists(harness.file("exports/a_edit.dng")));
}

TEST(BatchExport, OneBadPhotoNeverStopsTheBatch) {
    StateHarness harness;
    AppState& state = *harness.state;
    const auto a = harness.file("a.dng"), b = harness.file("b.dng"), c = harness.file("c.dng");
    harness.open(a);
    harness.request({a, b, c});
    harness.answerOpen();
    std::filesystem::create_directories(state.photoEditStore().directory());
    std::ofstream(state.photoEditStore().location(b)) << "{";
    std::optional<BatchExportResult> result;
    state.exportPhotos(ExportScope::all, {}, harness.file("out"),
                       [&](auto done) { result = done; });
    harness.answerAll();
    harness.executor->runPending();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->outputs,
              (std::vector{harness.file("out/a_edit.jpg"), harness.file("out/c_edit.jpg")}));
    ASSERT_EQ(result->failures.size(), 1u);
    EXPECT_EQ(result->failures[0].rfind("b.dng: The data couldn’t be read", 0), 0u);

    state.exportPhotos(ExportScope::current, {}, harness.file("out"),
                       [&](auto done) { result = done; });
    harness.answerOpen();
    harness.engine->completeExport();
    harness.executor->runPending();
    harness.engine->failOpen(0, failure("engine lost"));
    harness.executor->runPending();
    EXPECT_EQ(result->failures, std::vector<std::string>{"Could not restore preview: engine lost"});
}

TEST(BatchExport, AWriteThatFailsLeavesNoFileUnderTheChosenName) {
    StateHarness harness;
    harness.open(harness.file("a.dng"));
    // The file size limit holds for root too; the child reports through its exit status.
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1000, 1000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::optional<BatchExportResult> result;
        harness.state->exportPhotos(ExportScope::current, {}, std::nullopt,
                                    [&](auto done) { result = done; });
        harness.answerOpen();
        harness.engine->completeExport(0, std::string(5000, 'x'));
        harness.answerAll();
        const bool sound = result && result->outputs.empty() && result->failures.size() == 1 &&
                           !std::filesystem::exists(harness.file("exports/a_edit.jpg"));
        ::_exit(sound ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(SyncSelected, CopiesTheEditWithoutSpotRepairsAndKeepsFailuresApart) {
    StateHarness harness;
    AppState& state = *harness.state;
    const auto a = harness.file("a.dng"), b = harness.file("b.dng"), c = harness.file("c.dng");
    harness.open(a);
    bool finished = false;
    state.applyCurrentEditsToSelected([&] { finished = true; });
    EXPECT_TRUE(state.isApplyingEdits());
    harness.answerAll();
    EXPECT_TRUE(finished && !state.isApplyingEdits());

    harness.request({a, b, c});
    harness.answerOpen();
    state.setLastError("earlier");
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
    harness.executor->runPending();
    harness.engine->completeOpen(0, scriptedPhoto(b, false));
    harness.executor->runPending();
    harness.engine->failOpen(0, failure("unreadable"));
    harness.answerAll();
    EXPECT_EQ(state.lastError(), "c.dng: unreadable");
    harness.open(b);
    EXPECT_EQ(state.editParams().exposure, 2);
    EXPECT_EQ(state.editParams().denoiseMethod, DenoiseMethod::natural);
    EXPECT_TRUE(state.editParams().spotRepairs.empty());
    EXPECT_EQ(state.pendingSelectionEdits().at(c), std::vector{PresetValues{.tint = 3}});
}

}  // namespace
}  // namespace quillmere
