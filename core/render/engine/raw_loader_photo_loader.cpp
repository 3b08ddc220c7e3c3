#include "core/render/engine/raw_loader_photo_loader.h"

#include <utility>

namespace quillmere {

RAWLoaderPhotoLoader::RAWLoaderPhotoLoader(std::shared_ptr<const Device> device)
    : loader(std::move(device)) {}

OpenedPhoto RAWLoaderPhotoLoader::open(const std::filesystem::path& url) {
    return loader.open(url);
}

std::shared_ptr<Texture> RAWLoaderPhotoLoader::texture(
    const PhotoID& id, bool denoised, PreviewResolution resolution, DenoiseMethod method,
    bool preserveRAWTexture, const std::function<bool()>& shouldCancel,
    const std::function<void(double)>& progress) {
    return loader.texture(id, denoised, resolution, method, preserveRAWTexture, shouldCancel,
                          progress);
}

}  // namespace quillmere
