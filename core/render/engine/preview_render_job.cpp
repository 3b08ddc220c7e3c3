#include <vector>

#include "core/common/error.h"
#include "core/photo/gpu_render_engine_error.h"
#include "core/render/develop/tone_kernel.h"
#include "core/render/engine/gpu_render_engine.h"

namespace quillmere {

// Develops one photo with one edit. Decoding happens in the loader, which caches what it decodes
// for the active photo, so a slider change re-runs only the tone and healing passes. Each run
// makes a new command buffer, and takes an output texture that no earlier preview's holder
// keeps any more (the tone pass writes all of it) or a new one; whatever fails releases them
// uncommitted.
RenderEngine::TexturePointer GPURenderEngine::renderPreview(const PhotoID& photo,
                                                            const EditParams& params,
                                                            PreviewResolution resolution,
                                                            const ShouldCancel& shouldCancel,
                                                            const ProgressCallback& progress) {
    if (!device || !commandQueue) throw GPURenderEngineError::gpuUnavailable();
    PhotoLoader& loader = *collaborators.loader;

    // Opened here as well, so that a render never depends on an earlier open.
    const OpenedPhoto opened = loader.open(photo.url);

    const TextureRequest sourceRequest{.denoised = false,
                                       .resolution = resolution,
                                       .method = params.denoiseMethod,
                                       .preserveRAWTexture = params.sharpening.preserveRAWTexture};
    // The tone pass blends towards the fully denoised image by the denoise fraction; none is
    // decoded when the blend would not use it.
    const auto [source, clean] =
        params.denoiseFraction() > 0
            ? loader.sourceAndClean(photo, sourceRequest, shouldCancel, progress)
            : PhotoLoader::SourceAndClean{loader.texture(photo, sourceRequest, shouldCancel, {}),
                                          nullptr};

    std::vector<SpotRepairKernel::Placement> placements;
    if (!params.spotRepairs.empty()) {
        if (!spotRepairKernel) spotRepairKernel = collaborators.makeSpotRepairKernel(device);
        // Sources are always searched on the undenoised fit-size image, so an export heals from
        // the same places as the preview did, and the search stays cheap at any output size.
        const TextureRequest referenceRequest{.denoised = false,
                                              .resolution = PreviewResolution::fit,
                                              .method = params.denoiseMethod,
                                              .preserveRAWTexture = false};
        const std::shared_ptr<Texture> reference =
            loader.texture(photo, referenceRequest, shouldCancel, {});
        placements = spotRepairKernel->placements(params.spotRepairs, reference, shouldCancel);
    }

    // The last point at which a cancelled request stops: from here on the job is short.
    if (shouldCancel()) throw CancellationError();

    ToneKernel& tone = toneKernel();
    const std::shared_ptr<Texture> output =
        outputTextures.texture({.pixelFormat = PixelFormat::rgba16Float,
                                .width = source->width(),
                                .height = source->height(),
                                .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
                                .storageMode = StorageMode::shared});
    if (!output) {
        throw GPURenderEngineError::textureAllocationFailed(source->width(), source->height());
    }

    const std::shared_ptr<CommandBuffer> commandBuffer = commandQueue->makeCommandBuffer();
    const double sourcePixelScale =
        static_cast<double>(source->width()) / static_cast<double>(opened.pixelWidth);
    tone.encode(source, output, params, opened.asShotTemperature, opened.asShotTint, clean,
                opened.isRAW, sourcePixelScale, *commandBuffer);
    // Healing runs on the developed image, after tone and sharpening.
    if (!placements.empty()) spotRepairKernel->encode(placements, output, *commandBuffer);

    commandBuffer->commit();
    commandBuffer->waitUntilCompleted();
    if (commandBuffer->error()) {
        throw GPURenderEngineError::renderFailed(commandBuffer->error()->what());
    }
    return output;
}

}  // namespace quillmere
