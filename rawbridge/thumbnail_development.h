#pragma once

#include <cstdint>

#include "rawbridge/bridge_call.h"

namespace quillmere::rawbridge {

// A RAW file developed small for a thumbnail: 8-bit sRGB, three bytes a pixel, top row first.
struct ThumbnailImage {
    MallocBuffer<std::uint8_t> rgb;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Develops the sensor data at half size with LibRaw's defaults (camera white balance, sRGB
// gamma) and its orientation applied; the preview image the camera embedded is never used.
// Fails with the stages "Open RAW", "Unpack RAW", "Develop RAW" and "Create RAW image", the
// sentence of a file without image data, or "LibRaw returned an unsupported developed image
// layout.".
ThumbnailImage developThumbnail(const char* path);

}  // namespace quillmere::rawbridge
