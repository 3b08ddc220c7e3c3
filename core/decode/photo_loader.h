#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "core/compute/texture.h"
#include "core/edit/denoise_method.h"
#include "core/photo/opened_photo.h"
#include "core/photo/photo_id.h"
#include "core/photo/preview_resolution.h"

namespace quillmere {

// What the render engine asks of the photo decoder: RAWLoader in the program, a spy in the
// engine's tests. The engine calls it only from its render jobs, with the engine lock held; an
// implementation takes its own lock inside each call, never the engine's.
class PhotoLoader {
  public:
    virtual ~PhotoLoader() = default;

    // The photo's record: opened now, or the one kept from its first opening.
    virtual OpenedPhoto open(const std::filesystem::path& url) = 0;

    // The opened photo decoded into linear light (RGBA16Float, shared, read and write), the
    // undenoised or the fully denoised variant, at `resolution`, along the path `method` and
    // `preserveRAWTexture` choose. `shouldCancel` is polled and ends the call with
    // CancellationError; `progress`, when given, hears how far a slow denoise has come.
    virtual std::shared_ptr<Texture> texture(const PhotoID& id, bool denoised,
                                             PreviewResolution resolution, DenoiseMethod method,
                                             bool preserveRAWTexture,
                                             const std::function<bool()>& shouldCancel,
                                             const std::function<void(double)>& progress) = 0;
};

}  // namespace quillmere
