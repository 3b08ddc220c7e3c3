#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

#include "app/state/app_state.h"
#include "app/state/in_memory_checkpoint_store.h"
#include "app/state/in_memory_edit_clipboard.h"
#include "app/state/in_memory_preset_store.h"
#include "app/state/scripted_engine.h"
#include "tests/app/support/app_state_testing.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {

namespace testing {

// The default edit with its exposure at `ev`, the change tests tell apart most easily.
inline EditParams exposed(double ev) {
    EditParams edit;
    edit.exposure = ev;
    return edit;
}

// Dialog answers a test gives in advance, and the folder prompts the state showed.
struct ScriptedPrompts final : UserPrompts {
    std::vector<std::filesystem::path> chooseFilesToOpen(
        const std::vector<std::string>& offered) override {
        extensions = offered;
        return {};
    }
    std::optional<std::filesystem::path> chooseFolder(const FolderPrompt& prompt) override {
        shown.push_back(prompt);
        if (folders.empty()) return std::nullopt;
        const std::optional<std::filesystem::path> answer = folders.front();
        folders.pop_front();
        return answer;
    }

    std::vector<std::string> extensions;
    std::deque<std::optional<std::filesystem::path>> folders;
    std::vector<FolderPrompt> shown;
};

// Every field a state announced, in order.
class FieldLog {
  public:
    explicit FieldLog(AppState& state)
        : connection_(QObject::connect(&state, &AppState::changed, [this](AppState::Field field) {
              fields.push_back(field);
          })) {}
    ~FieldLog() { QObject::disconnect(connection_); }

    int count(AppState::Field field) const {
        return static_cast<int>(std::count(fields.begin(), fields.end(), field));
    }
    void clear() { fields.clear(); }

    std::vector<AppState::Field> fields;

  private:
    QMetaObject::Connection connection_;
};

// Collaborators that replace a harness's own.
struct HarnessReplacements {
    std::shared_ptr<EditClipboard> clipboard = nullptr;
    std::shared_ptr<CheckpointStore> checkpoints = nullptr;
    std::shared_ptr<PresetStore> presets = nullptr;
};

// An application state over the test collaborators: a scripted engine, in-memory stores and
// clipboard, a GUI-thread queue and runners the test drains itself (thumbnails and histograms
// when it likes; the file readings of an open as the open is answered), and edit files and
// preferences in a temporary folder.
struct StateHarness {
    explicit StateHarness(HarnessReplacements replacements = {});

    // Requests `urls` and lets the open run until it awaits the engine.
    bool request(const std::vector<std::filesystem::path>& urls);
    // Lets posted work reach the engine, answers the waiting open at `index` (with `photo`, else
    // the scripted photo; or fails it with `failure`) and lets the answer land, with the reading
    // of the photo's sidecar and record it asks of the file runner.
    void answerOpen(std::size_t index = 0, std::optional<OpenedPhoto> photo = std::nullopt,
                    const char* failure = nullptr);
    void failOpen(std::size_t index, const char* reason) { answerOpen(index, {}, reason); }
    // Lets posted work run, and the file readings it asks for, until neither is left.
    void readFiles() {
        while (executor->runPending() > 0 || !fileReads->items.empty()) fileReads->runAll();
    }
    // Answers every open and export as it arrives until none waits.
    void answerAll();
    // Requests and answers one photo.
    void open(const std::filesystem::path& url, std::optional<OpenedPhoto> photo = std::nullopt) {
        request({url});
        answerOpen(engine->opens.size() - 1, std::move(photo));
    }
    // Lets watchers see what the state announced and posted work run, a few rounds deep.
    void settle() {
        for (int turn = 0; turn < 3; ++turn) {
            QCoreApplication::processEvents();
            executor->runPending();
        }
    }
    // A photo file's path in the harness's folder.
    std::filesystem::path file(const std::string& name) const { return folder.path() / name; }
    // Adds the scripted photo of `url` to the session and shows it selected with `params` over
    // `baseline`, as an open leaves it.
    void showPhoto(const std::filesystem::path& url, bool supportsDetail = true,
                   const EditParams& params = {}, const EditParams& baseline = {}) {
        AppStateTesting::addSessionPhotos(*state, {url});
        AppStateTesting::showPhoto(*state, scriptedPhoto(url, supportsDetail), params, baseline);
        AppStateTesting::select(*state, {url});
    }

    TemporaryFolder folder;
    std::shared_ptr<ScriptedEngine> engine = std::make_shared<ScriptedEngine>();
    std::shared_ptr<InMemoryPresetStore> presets;
    std::shared_ptr<InMemoryEditClipboard> clipboard = std::make_shared<InMemoryEditClipboard>();
    std::shared_ptr<ManualMainExecutor> executor = std::make_shared<ManualMainExecutor>();
    std::shared_ptr<ManualRunner> histograms = std::make_shared<ManualRunner>();
    std::shared_ptr<ManualRunner> thumbnails = std::make_shared<ManualRunner>();
    std::shared_ptr<ManualRunner> fileReads = std::make_shared<ManualRunner>();
    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
    std::shared_ptr<Preferences> preferences;
    std::unique_ptr<AppState> state;
    std::unique_ptr<FieldLog> log;
};

// A test over a harness of its own.
class StateTest : public ::testing::Test {
  protected:
    StateHarness harness;
    AppState& state = *harness.state;
};

}  // namespace testing
}  // namespace quillmere
