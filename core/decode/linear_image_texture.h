#pragma once

#include <memory>

#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/imageio/linear_image.h"

namespace quillmere {

// A decoded photo as an RGBA16Float texture of its size (shared, shader read and write), rows in
// the image's order (bottom first), values rounded to the nearest half. Null when the device
// cannot hold it.
std::shared_ptr<Texture> makeHalfFloatTexture(const Device& device, const LinearImage& image);

}  // namespace quillmere
