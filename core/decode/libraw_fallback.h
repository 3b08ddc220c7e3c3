#pragma once

#include <filesystem>
#include <memory>

#include "core/compute/texture.h"
#include "core/reading/photo_reader.h"
#include "rawbridge/qx_raw.h"

namespace quillmere {

// A RAW file developed by LibRaw alone.
struct LibRawFallbackImage {
    // RGBA16Float, shared, shader read and write, labelled "LibRaw fallback linear RGB": extended
    // linear sRGB (camera white balance, default crop and orientation applied), bottom row first.
    std::shared_ptr<Texture> texture;
    // The ISO speed LibRaw reported; 0 when the file records none.
    float iso = 0.0f;
    // Whether the file opens as a three-colour Bayer RAW the sensor read accepts, so that its
    // sensor can feed the Detail denoiser (qx_raw_is_supported_bayer).
    bool supportsDetail = false;
    // What LibRaw read of the capture, for the photo's properties (completedRAWProperties).
    QXRAWCaptureInfo capture{};
};

// RAW files that the RAW filter cannot open still open, preview and render through LibRaw's own
// development, made by a reader of the file (rawDevelopment), which also says whether the file's
// sensor can feed the Detail denoiser.
namespace LibRawFallback {

// Opens the file once and has a reader of `reader` develop it completely with LibRaw; the texture
// is the reader's sealed file, mapped, never copied. Throws NativeRAWError::decoding with the
// reader's sentence when LibRaw cannot open, unpack or develop the file, or with the reason the
// file cannot be opened (not there, no regular file, unreadable); ReadingError for a reading that
// did not end in an answer or a refusal (more memory or processor time than its claim allows,
// a crashed or missing reader, an answer that is none).
LibRawFallbackImage decode(const std::filesystem::path& url,
                           PhotoReader& reader = PhotoReader::forProcess());

}  // namespace LibRawFallback
}  // namespace quillmere
