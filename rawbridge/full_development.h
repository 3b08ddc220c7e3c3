#pragma once

#include <cstdint>

#include "rawbridge/bridge_call.h"

namespace quillmere::rawbridge {

// A RAW file developed by LibRaw alone: half-float RGBA pixels, rows bottom first.
struct DevelopedImage {
    MallocBuffer<std::uint16_t> rgba;
    std::int32_t width = 0;
    std::int32_t height = 0;
    float iso = 0.0f;
};

// How large LibRaw develops: the sensor's own size, or each 2 × 2 block of samples one pixel
// (no demosaicing; what a thumbnail needs).
enum class DevelopmentSize { full, half };

// Develops any RAW file LibRaw opens (no Bayer requirement) with the camera's white balance into
// linear sRGB primaries, cropped to its default crop, stretched into square pixels and oriented.
// Before anything is unpacked, the file must hold the samples it states (requireImageData) and as
// many as the full development makes pixels. Fails with the stages "Open RAW", "Unpack RAW",
// "Develop RAW" and "Create RAW image", "The RAW file holds no image data.", "The RAW file holds
// too little image data for its developed size.", "Unsupported CFA layout.", "LibRaw returned an
// unsupported developed image layout." or "Cannot allocate developed RAW texture.".
DevelopedImage developFully(const char* path, DevelopmentSize size = DevelopmentSize::full);

}  // namespace quillmere::rawbridge
