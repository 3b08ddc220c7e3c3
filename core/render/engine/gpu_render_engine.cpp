#include "core/render/engine/gpu_render_engine.h"

#include <utility>

#include "core/common/error.h"
#include "core/decode/raw_loader.h"
#include "core/render/develop/tone_kernel.h"

namespace quillmere {
namespace {

// Sets a request's flag when its caller asks it to stop or the engine goes away. Removing the
// handlers (destroying this) waits for a handler that is running on another thread.
class CancellationHandlers {
  public:
    CancellationHandlers(const std::stop_token& caller, const std::stop_token& engine,
                         const std::shared_ptr<RenderCancellation>& cancellation)
        : callerHandler(caller, Cancel{cancellation}),
          engineHandler(engine, Cancel{cancellation}) {}

  private:
    struct Cancel {
        std::shared_ptr<RenderCancellation> cancellation;
        void operator()() const { cancellation->cancel(); }
    };
    std::stop_callback<Cancel> callerHandler;
    std::stop_callback<Cancel> engineHandler;
};

template <class T>
RenderResult<T> cancelled() {
    return RenderResult<T>(std::make_exception_ptr(CancellationError()));
}

}  // namespace

GPURenderEngine::GPURenderEngine(std::shared_ptr<const Device> device)
    : GPURenderEngine(device, standardCollaborators(device)) {}

GPURenderEngine::GPURenderEngine(std::shared_ptr<const Device> device, Collaborators collaborators)
    : device(std::move(device)),
      commandQueue(this->device ? this->device->makeCommandQueue() : nullptr),
      collaborators(std::move(collaborators)),
      outputTextures(this->device),
      queue(std::make_unique<SerialQueue>("Quillmere.render")) {}

GPURenderEngine::Collaborators GPURenderEngine::standardCollaborators(
    const std::shared_ptr<const Device>& device) {
    return {.loader = std::make_shared<RAWLoader>(device),
            .makeToneKernel =
                [](std::shared_ptr<const Device> device) {
                    return std::make_shared<ToneKernel>(std::move(device));
                },
            .makeSpotRepairKernel =
                [](std::shared_ptr<const Device> device) {
                    return std::make_shared<SpotRepairKernel>(std::move(device));
                }};
}

GPURenderEngine::~GPURenderEngine() {
    lifetime.request_stop();
    queue.reset();
}

template <class T>
void GPURenderEngine::perform(std::stop_token stopToken, Job<T> job,
                              RenderCompletion<T> completion) {
    auto cancellation = std::make_shared<RenderCancellation>();
    // Installed before queueing: a request already stopped is flagged at once.
    auto handlers =
        std::make_shared<CancellationHandlers>(stopToken, lifetime.get_token(), cancellation);
    queue->submit([cancellation, handlers = std::move(handlers), job = std::move(job),
                   completion = std::move(completion)]() mutable {
        RenderResult<T> result = [&]() -> RenderResult<T> {
            if (cancellation->isCancelled()) return cancelled<T>();
            try {
                T value = job(*cancellation);
                if (cancellation->isCancelled()) return cancelled<T>();
                return RenderResult<T>(std::move(value));
            } catch (...) {
                return RenderResult<T>(std::current_exception());
            }
        }();
        handlers.reset();
        completion(std::move(result));
    });
}

void GPURenderEngine::open(const std::filesystem::path& url, std::stop_token stopToken,
                           RenderCompletion<OpenedPhoto> completion) {
    perform<OpenedPhoto>(
        std::move(stopToken),
        [this, url](const RenderCancellation&) { return collaborators.loader->open(url); },
        std::move(completion));
}

void GPURenderEngine::preview(const PhotoID& photo, const EditParams& params,
                              std::stop_token stopToken,
                              RenderCompletion<TexturePointer> completion) {
    preview(photo, params, PreviewResolution::fit, std::move(stopToken), std::move(completion));
}

void GPURenderEngine::preview(const PhotoID& photo, const EditParams& params,
                              PreviewResolution resolution, std::stop_token stopToken,
                              RenderCompletion<TexturePointer> completion) {
    preview(photo, params, resolution, ProgressCallback{}, std::move(stopToken),
            std::move(completion));
}

void GPURenderEngine::preview(const PhotoID& photo, const EditParams& params,
                              PreviewResolution resolution, ProgressCallback progress,
                              std::stop_token stopToken,
                              RenderCompletion<TexturePointer> completion) {
    perform<TexturePointer>(
        std::move(stopToken),
        [this, photo, params, resolution,
         progress = std::move(progress)](const RenderCancellation& cancellation) {
            return renderLocked(photo, params, resolution, cancellation.shouldCancel(), progress);
        },
        std::move(completion));
}

void GPURenderEngine::exportPhoto(const PhotoID& photo, const EditParams& params,
                                  const ExportOptions& options, std::stop_token stopToken,
                                  RenderCompletion<std::string> completion) {
    perform<std::string>(
        std::move(stopToken),
        [this, photo, params, options](const RenderCancellation& cancellation) {
            return exportPhotoJob(photo, params, options, cancellation.shouldCancel());
        },
        std::move(completion));
}

void GPURenderEngine::exportJPEG(const PhotoID& photo, const EditParams& params, double quality,
                                 std::stop_token stopToken,
                                 RenderCompletion<std::string> completion) {
    perform<std::string>(
        std::move(stopToken),
        [this, photo, params, quality](const RenderCancellation& cancellation) {
            return exportJPEGJob(photo, params, quality, cancellation.shouldCancel());
        },
        std::move(completion));
}

OpenedPhoto GPURenderEngine::openSync(const std::filesystem::path& url) {
    return collaborators.loader->open(url);
}

RenderEngine::TexturePointer GPURenderEngine::previewSync(const PhotoID& photo,
                                                          const EditParams& params,
                                                          PreviewResolution resolution,
                                                          const ShouldCancel& shouldCancel,
                                                          const ProgressCallback& progress) {
    return renderLocked(photo, params, resolution, shouldCancel, progress);
}

std::string GPURenderEngine::exportJPEGSync(const PhotoID& photo, const EditParams& params,
                                            double quality, const ShouldCancel& shouldCancel) {
    return exportJPEGJob(photo, params, quality, shouldCancel);
}

RenderEngine::TexturePointer GPURenderEngine::renderLocked(const PhotoID& photo,
                                                           const EditParams& params,
                                                           PreviewResolution resolution,
                                                           const ShouldCancel& shouldCancel,
                                                           const ProgressCallback& progress) {
    std::lock_guard guard(lock);
    return renderPreview(photo, params, resolution, shouldCancel, progress);
}

ToneKernel& GPURenderEngine::toneKernel() {
    if (std::holds_alternative<std::monostate>(kernelResult)) {
        try {
            kernelResult = collaborators.makeToneKernel(device);
        } catch (...) {
            kernelResult = std::current_exception();
        }
    }
    if (auto* error = std::get_if<std::exception_ptr>(&kernelResult)) {
        std::rethrow_exception(*error);
    }
    return *std::get<std::shared_ptr<ToneKernel>>(kernelResult);
}

}  // namespace quillmere
