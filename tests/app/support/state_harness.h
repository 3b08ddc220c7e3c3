#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "app/state/app_state.h"
#include "app/state/in_memory_checkpoint_store.h"
#include "app/state/in_memory_edit_clipboard.h"
#include "app/state/in_memory_preset_store.h"
#include "app/state/scripted_engine.h"
#include "tests/app/support/scripted_prompts.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere::testing {

// Every field the state announced, in order.
class FieldLog {
  public:
    explicit FieldLog(AppState& state);
    ~FieldLog();

    int count(AppState::Field field) const;
    void clear() { fields.clear(); }

    std::vector<AppState::Field> fields;

  private:
    QMetaObject::Connection connection_;
};

// An application state over the test collaborators: a scripted engine, in-memory stores and
// clipboard, a GUI-thread queue and a histogram runner the test drains itself, and edit files in
// a temporary folder.
// Collaborators that replace a harness's own.
struct HarnessReplacements {
    std::shared_ptr<RenderEngine> engine = nullptr;
    std::shared_ptr<EditClipboard> clipboard = nullptr;
    std::shared_ptr<CheckpointStore> checkpoints = nullptr;
};

struct StateHarness {
    explicit StateHarness(HarnessReplacements replacements = {});

    // Requests `urls` and lets the open run until it awaits the engine.
    bool request(const std::vector<std::filesystem::path>& urls);
    // Lets posted opens reach the engine, answers the waiting open at `index` and installs it.
    void answerOpen(std::size_t index = 0, std::optional<OpenedPhoto> photo = std::nullopt);
    // Answers every open and export as it arrives until none waits.
    void answerAll();
    // Requests and answers one photo.
    void open(const std::filesystem::path& url, std::optional<OpenedPhoto> photo = std::nullopt);
    // A photo file's path in the harness's folder.
    std::filesystem::path file(const std::string& name) const { return folder.path() / name; }

    // Adds the scripted photo of `url` to the session and shows it selected with `params` over
    // `baseline`, as an open leaves it.
    void showPhoto(const std::filesystem::path& url, bool supportsDetail = true,
                   const EditParams& params = {}, const EditParams& baseline = {});

    TemporaryFolder folder;
    std::shared_ptr<ScriptedEngine> engine = std::make_shared<ScriptedEngine>();
    std::shared_ptr<InMemoryPresetStore> presets;
    std::shared_ptr<InMemoryCheckpointStore> checkpoints =
        std::make_shared<InMemoryCheckpointStore>();
    std::shared_ptr<InMemoryEditClipboard> clipboard = std::make_shared<InMemoryEditClipboard>();
    std::shared_ptr<ManualMainExecutor> executor = std::make_shared<ManualMainExecutor>();
    std::shared_ptr<ManualRunner> histograms = std::make_shared<ManualRunner>();
    std::shared_ptr<ManualRunner> thumbnails = std::make_shared<ManualRunner>();
    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
    std::shared_ptr<Preferences> preferences;
    std::unique_ptr<AppState> state;
    std::unique_ptr<FieldLog> log;
};

}  // namespace quillmere::testing
