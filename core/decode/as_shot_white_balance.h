#pragma once

#include "core/decode/color_temperature.h"
#include "rawbridge/qx_raw.h"

namespace quillmere {

// The white balance a RAW photo was taken with, as temperature and tint: the camera's neutral
// (the reciprocals of the white-balance multipliers the development applies) taken through the
// camera's colour matrix to a chromaticity. A DNG with matrices for two calibration illuminants
// gets the matrix interpolated for the neutral's own temperature, as DNG readers do. The
// temperature is limited to 2000...50000 K, the range the white-balance controls offer. A
// camera without a usable colour record gives 5500 K and tint 0, the white balance of a photo
// that states none.
TemperatureTint asShotWhiteBalance(const QXRAWCaptureInfo& info);

}  // namespace quillmere
