#include "core/decode/neural_model_resources.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/decode/raw_loader_error.h"

namespace quillmere {
namespace {

// Shared between the waiting caller and the download's completion, which may run on another
// thread, and after the caller stopped waiting: whoever finishes last frees it.
struct DownloadOutcome {
    std::mutex lock;
    std::condition_variable finishedSignal;
    bool finished = false;
    std::optional<std::string> errorDescription;
};

}  // namespace

void prepareNeuralModelResources(ConfigurableRAWFilter& filter,
                                 const NeuralModelTimeouts& timeouts) {
    const auto outcome = std::make_shared<DownloadOutcome>();
    const std::shared_ptr<ModelResourceDownload> download = filter.downloadModelResources(
        timeouts.download, [outcome](std::optional<std::string> errorDescription) {
            {
                const std::lock_guard guard(outcome->lock);
                if (outcome->finished) return;
                outcome->finished = true;
                outcome->errorDescription = std::move(errorDescription);
            }
            outcome->finishedSignal.notify_all();
        });

    std::unique_lock guard(outcome->lock);
    const bool finished =
        outcome->finishedSignal.wait_for(guard, timeouts.wait, [&] { return outcome->finished; });
    if (!finished) {
        guard.unlock();
        // A download may call its completion from inside cancel(); the box is unlocked by then.
        if (download) download->cancel();
        throw RAWLoaderError::renderFailed(
            "The local denoise model could not be prepared. Please try again when online.");
    }
    if (outcome->errorDescription) {
        throw RAWLoaderError::renderFailed("Could not prepare the local denoise model: " +
                                           *outcome->errorDescription);
    }
}

}  // namespace quillmere
