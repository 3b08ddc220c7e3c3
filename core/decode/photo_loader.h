#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <utility>

#include "core/compute/texture.h"
#include "core/edit/denoise_method.h"
#include "core/photo/opened_photo.h"
#include "core/photo/photo_id.h"
#include "core/photo/preview_resolution.h"

namespace quillmere {

// One texture of an opened photo: the undenoised or the fully denoised variant, at fit or full
// resolution, along the decode path that the edit's denoise method and RAW-texture switch choose.
struct TextureRequest {
    bool denoised = false;
    PreviewResolution resolution = PreviewResolution::fit;
    DenoiseMethod method = DenoiseMethod::natural;
    bool preserveRAWTexture = false;

    bool operator==(const TextureRequest&) const = default;
};

// What the render engine asks of the photo decoder: RAWLoader in the program, a spy in the
// engine's tests. The engine calls it only from its render jobs, with the engine lock held; an
// implementation takes its own lock inside each call, never the engine's.
class PhotoLoader {
  public:
    virtual ~PhotoLoader() = default;

    // The photo's record: opened now, or the one kept from its first opening.
    virtual OpenedPhoto open(const std::filesystem::path& url) = 0;

    // The opened photo decoded into linear light (RGBA16Float, shared, read and write) as
    // `request` asks. `shouldCancel` is polled and ends the call with CancellationError;
    // `progress`, when given, hears how far a slow denoise has come.
    virtual std::shared_ptr<Texture> texture(const PhotoID& id, const TextureRequest& request,
                                             const std::function<bool()>& shouldCancel,
                                             const std::function<void(double)>& progress) = 0;

    // The undenoised and the fully denoised texture of one render.
    struct SourceAndClean {
        std::shared_ptr<Texture> source, clean;
    };

    // Both variants of `request` (whose `denoised` is not read), as two texture calls give them,
    // undenoised first; `progress` hears only the denoised one. A loader may decode the two at
    // the same time, with the same outcome: the undenoised one's error wins over the denoised
    // one's, and each variant is cached as its own call would have cached it.
    virtual SourceAndClean sourceAndClean(const PhotoID& id, TextureRequest request,
                                          const std::function<bool()>& shouldCancel,
                                          const std::function<void(double)>& progress) {
        request.denoised = false;
        std::shared_ptr<Texture> source = texture(id, request, shouldCancel, {});
        request.denoised = true;
        return {std::move(source), texture(id, request, shouldCancel, progress)};
    }
};

}  // namespace quillmere
