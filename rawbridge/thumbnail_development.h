#pragma once

#include "rawbridge/full_development.h"

namespace quillmere::rawbridge {

// Develops a RAW file small for its thumbnail, the way the program develops it for the preview,
// but taking each 2 × 2 block of sensor samples as one pixel instead of demosaicing: a
// three-colour Bayer file with the colour of the linear development (its white-balance scales,
// highlight treatment and camera matrix), any other file, and a Bayer file whose sensor the bridge
// refuses, by LibRaw's own development at half size, as the program opens them. The result is
// linear and unclipped (values above 1 kept), cropped and oriented, half-float RGBA with the bottom
// row first; the preview image the camera embedded is never used. Fails with the sentences of the
// two developments.
DevelopedImage developThumbnail(const char* path);

}  // namespace quillmere::rawbridge
