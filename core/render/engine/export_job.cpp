#include "core/common/error.h"
#include "core/render/export/dng_exporter.h"
#include "core/render/engine/gpu_render_engine.h"

namespace quillmere {

// Exports hold the engine lock only while rendering: encoding and metadata run without it, so a
// synchronous preview on another thread can render meanwhile. The full-size decode stays cached
// in the loader for the next export of the same photo.

std::string GPURenderEngine::exportPhotoJob(const PhotoID& photo, const EditParams& params,
                                            const ExportOptions& options,
                                            const ShouldCancel& shouldCancel) {
    if (shouldCancel()) throw CancellationError();
    // A DNG keeps the camera's data: nothing is decoded or rendered, so no GPU and no lock.
    if (options.format == ExportFormat::dng) {
        return DNGExporter::data(photo.url, params, options);
    }
    // Rendered at full size whatever the long-edge limit: the exporter scales down, and lets the
    // image go once it is encoded.
    TexturePointer developed =
        renderLocked(photo, params, PreviewResolution::full, shouldCancel, {});
    return exporter.data(std::move(developed), photo.url, params, options);
}

std::string GPURenderEngine::exportJPEGJob(const PhotoID& photo, const EditParams& params,
                                           double quality, const ShouldCancel& shouldCancel) {
    const TexturePointer developed =
        renderLocked(photo, params, PreviewResolution::full, shouldCancel, {});
    return exporter.jpegData(*developed, photo.url, quality);
}

}  // namespace quillmere
