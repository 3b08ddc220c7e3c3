#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "core/compute/texture.h"
#include "core/edit/edit_params.h"
#include "core/render/export/export_options.h"
#include "core/photo/opened_photo.h"
#include "core/photo/photo_id.h"
#include "core/photo/preview_resolution.h"
#include "core/render/engine/render_result.h"

namespace quillmere {

// The engine the application holds for opening, previewing and exporting photos. The GPU render
// engine implements every operation; a test engine may implement only open, the plain preview
// and exportJPEG and rely on the defaults here.
//
// Every operation is asynchronous: it returns at once, and the engine calls `completion` exactly
// once, on its render thread, with the value or the error. Requesting a stop through
// `stopToken` ends the request with CancellationError as soon as the engine can. The edit is
// copied by the engine and never changed. A returned texture belongs to the caller; the engine
// keeps no reference to it and never reuses it. Exports return the file's bytes.
//
// Photos are opened (`open`) before they are previewed or exported, and the PhotoID passed to
// the other operations is the `id` of the OpenedPhoto that `open` returned.
//
// An implementation that overrides one `preview` overload adds `using RenderEngine::preview;` so
// that the others stay visible through it.
class RenderEngine {
public:
    using TexturePointer = std::shared_ptr<Texture>;
    // Called with fractions from 0 to 1, from any thread.
    using ProgressCallback = std::function<void(double fraction)>;

    virtual ~RenderEngine() = default;

    virtual void open(const std::filesystem::path& url, std::stop_token stopToken,
                      RenderCompletion<OpenedPhoto> completion) = 0;

    // The photo developed with `params` at the engine's preview size.
    virtual void preview(const PhotoID& photo, const EditParams& params, std::stop_token stopToken,
                         RenderCompletion<TexturePointer> completion) = 0;

    // By default the plain preview: the resolution is ignored.
    virtual void preview(const PhotoID& photo, const EditParams& params,
                         PreviewResolution resolution, std::stop_token stopToken,
                         RenderCompletion<TexturePointer> completion);

    // By default the preview at `resolution`; `progress` is never called.
    virtual void preview(const PhotoID& photo, const EditParams& params,
                         PreviewResolution resolution, ProgressCallback progress,
                         std::stop_token stopToken, RenderCompletion<TexturePointer> completion);

    // By default, a JPEG without `maxLongEdge` is `exportJPEG` at the options' quality; any other
    // request (a DNG, or any `maxLongEdge`, even one meaning no limit) ends with
    // ExporterError::imageIOFailure, given to `completion` before this returns.
    virtual void exportPhoto(const PhotoID& photo, const EditParams& params,
                             const ExportOptions& options, std::stop_token stopToken,
                             RenderCompletion<std::string> completion);

    // A full-size JPEG of the developed photo; `quality` 0 to 1.
    virtual void exportJPEG(const PhotoID& photo, const EditParams& params, double quality,
                            std::stop_token stopToken,
                            RenderCompletion<std::string> completion) = 0;
};

}  // namespace quillmere
