#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "core/compute/device.h"
#include "core/compute/texture.h"

namespace quillmere {

// Textures kept for the next pass that asks for the same kind: a texture is handed out again
// once nobody but the recycler holds it, so that re-renders of one size reuse the memory of the
// last one instead of taking fresh pages of the system. Asking for a size lets the idle textures
// of the same format but another size go (the renders have moved on to another size); at most
// eight are kept, none larger than the byte limit, so that a full-size export never stays in
// memory after it.
//
// A reused texture holds what it held last, not zeros: it serves passes that write every texel.
// Safe to use from several threads.
class TextureRecycler {
  public:
    // The largest preview texture: 2048 × 2048 texels of 8 bytes.
    static constexpr std::size_t kDefaultByteLimit = std::size_t{2048} * 2048 * 8;

    explicit TextureRecycler(std::shared_ptr<const Device> device,
                             std::size_t byteLimit = kDefaultByteLimit);

    // A texture of `descriptor`: an idle one kept, else a new one of the device (null when the
    // device cannot make it).
    std::shared_ptr<Texture> texture(const TextureDescriptor& descriptor);

  private:
    static constexpr std::size_t kMaxKept = 8;

    std::shared_ptr<const Device> device_;
    std::size_t byteLimit_;
    std::mutex lock_;
    std::vector<std::shared_ptr<Texture>> kept_;
};

}  // namespace quillmere
