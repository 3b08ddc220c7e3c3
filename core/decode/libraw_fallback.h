#pragma once

#include <filesystem>
#include <memory>

#include "core/compute/device.h"
#include "core/compute/texture.h"

namespace quillmere {

// A RAW file developed by LibRaw alone.
struct LibRawFallbackImage {
    // RGBA16Float, shared, shader read and write, labelled "LibRaw fallback linear RGB": extended
    // linear sRGB (camera white balance, default crop and orientation applied), bottom row first.
    std::shared_ptr<Texture> texture;
    // The ISO speed LibRaw reported; 0 when the file records none.
    float iso = 0.0f;
};

// RAW files that the RAW filter cannot open still open, preview and render through LibRaw's own
// development; and whether a file's sensor can feed the Detail denoiser. Both are stateless, each
// call uses its own LibRaw instance, and neither lets LibRaw read a file that the RAW checking
// helper refused (rawFileRefusal).
namespace LibRawFallback {

// Develops the file completely with LibRaw, or takes the full development the RAW checking helper
// made of it as it is now (takeRAWDevelopment), which is the same. Throws NativeRAWError:
// decoding with the bridge's sentence when LibRaw cannot open, unpack or develop the file, or
// with the helper's refusal; allocation when the texture cannot be made.
LibRawFallbackImage decode(const std::filesystem::path& url, const Device& device);

// Whether the file opens as a three-colour Bayer RAW the sensor read accepts. Never fails: a file
// LibRaw cannot open, or the helper refused, answers false.
bool supportsDetail(const std::filesystem::path& url);

}  // namespace LibRawFallback
}  // namespace quillmere
