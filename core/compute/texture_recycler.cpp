#include "core/compute/texture_recycler.h"

#include <algorithm>

namespace quillmere {
namespace {

bool sameFormat(const Texture& texture, const TextureDescriptor& descriptor) {
    return texture.pixelFormat() == descriptor.pixelFormat && texture.usage() == descriptor.usage &&
           texture.storageMode() == descriptor.storageMode;
}

bool sameSize(const Texture& texture, const TextureDescriptor& descriptor) {
    return texture.width() == descriptor.width && texture.height() == descriptor.height;
}

// Whether only the recycler holds the texture: nobody else can take it meanwhile, since taking
// it needs the recycler's lock.
bool idle(const std::shared_ptr<Texture>& texture) { return texture.use_count() == 1; }

}  // namespace

TextureRecycler::TextureRecycler(std::shared_ptr<const Device> device, std::size_t byteLimit)
    : device_(std::move(device)), byteLimit_(byteLimit) {}

std::shared_ptr<Texture> TextureRecycler::texture(const TextureDescriptor& descriptor) {
    const std::lock_guard guard(lock_);
    std::erase_if(kept_, [&](const std::shared_ptr<Texture>& texture) {
        return sameFormat(*texture, descriptor) && !sameSize(*texture, descriptor) && idle(texture);
    });
    for (const std::shared_ptr<Texture>& texture : kept_) {
        if (sameFormat(*texture, descriptor) && sameSize(*texture, descriptor) && idle(texture)) {
            return texture;
        }
    }
    std::shared_ptr<Texture> made = device_->makeTexture(descriptor);
    const bool keepable = made && kept_.size() < kMaxKept &&
                          static_cast<std::size_t>(made->width()) * made->height() *
                                  bytesPerPixel(made->pixelFormat()) <=
                              byteLimit_;
    if (keepable) kept_.push_back(made);
    return made;
}

}  // namespace quillmere
