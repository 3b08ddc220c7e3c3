#pragma once

#include "core/imageio/image_properties.h"
#include "rawbridge/qx_raw.h"

namespace quillmere {

// The properties of a RAW photo that the RAW filter develops: `exif` (what the photo reader's
// metadata job found in the file) with the fields it left open filled from LibRaw's reading of the
// header (ISO, exposure time, f-number, focal length, lens, capture time, make, model,
// orientation), and the size the filter develops before orientation in place of the stored size,
// which for a RAW file is the sensor's with its margins or that of a preview.
ImageProperties completedRAWProperties(ImageProperties exif, const QXRAWCaptureInfo& info,
                                       int developedWidth, int developedHeight);

}  // namespace quillmere
