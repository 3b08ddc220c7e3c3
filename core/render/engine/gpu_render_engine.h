#pragma once

#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <variant>

#include "core/compute/command_buffer.h"
#include "core/compute/device.h"
#include "core/compute/texture_recycler.h"
#include "core/decode/photo_loader.h"
#include "core/render/engine/render_cancellation.h"
#include "core/render/engine/render_engine.h"
#include "core/render/engine/serial_queue.h"
#include "core/render/export/exporter.h"
#include "core/render/spot/spot_repair_kernel.h"

namespace quillmere {

class ToneKernel;

// The program's render engine. Every asynchronous request becomes one job on the engine's serial
// render queue "Quillmere.render", so at most one decode, render or export runs at a time; the
// request's stop token sets the job's cancellation flag, which the job polls. A request that is
// cancelled before its job starts, or while it runs, always ends with CancellationError and any
// result its job made is dropped. Every completion is called exactly once, on the render thread;
// it must not throw, since that thread has no caller to hand the exception to.
//
// Locks, outermost first: the engine lock (a whole preview, or the render step of a JPEG export;
// opening a photo and exporting a DNG never take it), the loader's own lock, the kernels' caches,
// a request's cancellation flag. Nothing takes them in another order.
//
// Destroying the engine cancels every outstanding request, lets the queue finish them (each ends
// with CancellationError, the running one at its next poll) and joins the render thread. It must
// not be destroyed from one of its own completions.
class GPURenderEngine final : public RenderEngine {
  public:
    using ShouldCancel = std::function<bool()>;

    // What the engine renders with besides its device.
    struct Collaborators {
        std::shared_ptr<PhotoLoader> loader;
        // Called at most once per engine, on the first render that gets that far.
        std::function<std::shared_ptr<ToneKernel>(std::shared_ptr<const Device>)> makeToneKernel;
        // Called on a render with spot repairs while the engine has none; a failure keeps none.
        std::function<std::shared_ptr<SpotRepairKernel>(std::shared_ptr<const Device>)>
            makeSpotRepairKernel;
    };

    // The program's engine: the RAW loader over the program's RAW filter, the develop kernels and
    // the spot-repair kernel, all on `device`. `device` is null on a machine without a usable
    // GPU: opening and DNG export still work, and every render fails with
    // GPURenderEngineError::gpuUnavailable. Never fails.
    explicit GPURenderEngine(std::shared_ptr<const Device> device);
    // The same with other collaborators (tests); every one must be given.
    GPURenderEngine(std::shared_ptr<const Device> device, Collaborators collaborators);

    // What the program's engine renders with on `device`.
    static Collaborators standardCollaborators(const std::shared_ptr<const Device>& device);

    ~GPURenderEngine() override;

    GPURenderEngine(const GPURenderEngine&) = delete;
    GPURenderEngine& operator=(const GPURenderEngine&) = delete;

    using RenderEngine::preview;

    void open(const std::filesystem::path& url, std::stop_token stopToken,
              RenderCompletion<OpenedPhoto> completion) override;
    void preview(const PhotoID& photo, const EditParams& params, std::stop_token stopToken,
                 RenderCompletion<TexturePointer> completion) override;
    void preview(const PhotoID& photo, const EditParams& params, PreviewResolution resolution,
                 std::stop_token stopToken, RenderCompletion<TexturePointer> completion) override;
    void preview(const PhotoID& photo, const EditParams& params, PreviewResolution resolution,
                 ProgressCallback progress, std::stop_token stopToken,
                 RenderCompletion<TexturePointer> completion) override;
    void exportPhoto(const PhotoID& photo, const EditParams& params, const ExportOptions& options,
                     std::stop_token stopToken, RenderCompletion<std::string> completion) override;
    void exportJPEG(const PhotoID& photo, const EditParams& params, double quality,
                    std::stop_token stopToken, RenderCompletion<std::string> completion) override;

    // The same work on the caller's thread, for callers with threads of their own; they throw
    // instead of completing. `shouldCancel` is polled as a request's flag would be.
    OpenedPhoto openSync(const std::filesystem::path& url);
    TexturePointer previewSync(const PhotoID& photo, const EditParams& params,
                               PreviewResolution resolution, const ShouldCancel& shouldCancel,
                               const ProgressCallback& progress = {});
    std::string exportJPEGSync(const PhotoID& photo, const EditParams& params, double quality,
                               const ShouldCancel& shouldCancel);

  private:
    template <class T>
    using Job = std::function<T(const RenderCancellation&)>;

    // Queues `job` with a new cancellation flag that `stopToken` and the engine's destruction
    // set, and completes with its outcome.
    template <class T>
    void perform(std::stop_token stopToken, Job<T> job, RenderCompletion<T> completion);

    // The preview job: the photo developed with `params` into a new texture. The engine lock
    // must be held.
    TexturePointer renderPreview(const PhotoID& photo, const EditParams& params,
                                 PreviewResolution resolution, const ShouldCancel& shouldCancel,
                                 const ProgressCallback& progress);
    // renderPreview under the engine lock.
    TexturePointer renderLocked(const PhotoID& photo, const EditParams& params,
                                PreviewResolution resolution, const ShouldCancel& shouldCancel,
                                const ProgressCallback& progress);
    // The export jobs.
    std::string exportPhotoJob(const PhotoID& photo, const EditParams& params,
                               const ExportOptions& options, const ShouldCancel& shouldCancel);
    std::string exportJPEGJob(const PhotoID& photo, const EditParams& params, double quality,
                              const ShouldCancel& shouldCancel);

    // Built on first use; a failure is kept and thrown again, never retried. Engine lock held.
    ToneKernel& toneKernel();

    std::shared_ptr<const Device> device;
    std::shared_ptr<CommandQueue> commandQueue;
    Collaborators collaborators;
    Exporter exporter;
    std::mutex lock;
    // Guarded by `lock`.
    std::variant<std::monostate, std::shared_ptr<ToneKernel>, std::exception_ptr> kernelResult;
    std::shared_ptr<SpotRepairKernel> spotRepairKernel;
    // The outputs of earlier previews, reused once their holders let them go.
    TextureRecycler outputTextures;
    // Stopped when the engine is destroyed: every outstanding request is cancelled by it.
    std::stop_source lifetime;
    // Last, so that it is made when everything its jobs use exists; emptied first on destruction.
    std::unique_ptr<SerialQueue> queue;
};

}  // namespace quillmere
