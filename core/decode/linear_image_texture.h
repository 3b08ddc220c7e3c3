#pragma once

#include <memory>

#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/imageio/linear_image.h"

namespace quillmere {

// A decoded photo as an RGBA16Float texture of its size (shared, shader read and write), rows in
// the image's order (bottom first), values rounded to the nearest half. Null when the device
// cannot hold it. The image is used up: each band of its rows goes back to the system once
// converted, so that the photo is never held twice over (a 200-megapixel photo is 3.2 GB of
// floats and 1.6 GB of halves).
std::shared_ptr<Texture> makeHalfFloatTexture(const Device& device, LinearImage image);

}  // namespace quillmere
