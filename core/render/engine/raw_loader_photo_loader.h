#pragma once

#include <memory>

#include "core/decode/photo_loader.h"
#include "core/decode/raw_loader.h"

namespace quillmere {

// The program's RAW loader as the render engine reaches it.
class RAWLoaderPhotoLoader final : public PhotoLoader {
  public:
    // A loader on `device` (null without one) over the program's RAW filter.
    explicit RAWLoaderPhotoLoader(std::shared_ptr<const Device> device);

    OpenedPhoto open(const std::filesystem::path& url) override;
    std::shared_ptr<Texture> texture(const PhotoID& id, bool denoised, PreviewResolution resolution,
                                     DenoiseMethod method, bool preserveRAWTexture,
                                     const std::function<bool()>& shouldCancel,
                                     const std::function<void(double)>& progress) override;

  private:
    RAWLoader loader;
};

}  // namespace quillmere
