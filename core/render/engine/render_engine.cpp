#include "core/render/engine/render_engine.h"

#include <utility>

#include "core/render/export/exporter_error.h"

namespace quillmere {

void RenderEngine::preview(const PhotoID& photo, const EditParams& params, PreviewResolution,
                           std::stop_token stopToken, RenderCompletion<TexturePointer> completion) {
    preview(photo, params, std::move(stopToken), std::move(completion));
}

void RenderEngine::preview(const PhotoID& photo, const EditParams& params,
                           PreviewResolution resolution, ProgressCallback,
                           std::stop_token stopToken, RenderCompletion<TexturePointer> completion) {
    preview(photo, params, resolution, std::move(stopToken), std::move(completion));
}

void RenderEngine::exportPhoto(const PhotoID& photo, const EditParams& params,
                               const ExportOptions& options, std::stop_token stopToken,
                               RenderCompletion<std::string> completion) {
    if (options.format == ExportFormat::jpeg && !options.maxLongEdge) {
        exportJPEG(photo, params, options.quality, std::move(stopToken), std::move(completion));
        return;
    }
    completion(std::make_exception_ptr(ExporterError::imageIOFailure()));
}

}  // namespace quillmere
