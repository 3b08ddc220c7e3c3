#pragma once

#include <memory>
#include <string>

#include "core/compute/device.h"
#include "core/compute/texture.h"

namespace quillmere {

// A new texture in the form decoders hand to the engine: shared storage (the host fills and reads
// it), shader read and write. Null when the device cannot make it.
std::shared_ptr<Texture> makeDecodedTexture(const Device& device, PixelFormat format, int width,
                                            int height);

// The same, filled from `bytes`: width × height texels in `format`, rows packed without padding,
// row 0 first; then labelled.
std::shared_ptr<Texture> makeDecodedTexture(const Device& device, PixelFormat format, int width,
                                            int height, const void* bytes, std::string label);

}  // namespace quillmere
