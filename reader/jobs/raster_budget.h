#pragma once

#include <chrono>
#include <cstdint>

#include "reader/colour/icc_claim.h"
#include "reader/heif/heif_file.h"
#include "reader/jpeg/jpeg_file.h"

// What reading a raster photo may take: the memory and processor time an honest JPEG or HEIF file
// needs for what it claims, with a margin. A file that needs more is no honest photo of its claim
// (its ICC profile costs LittleCMS far more than any photo's does, say) and is ended there.
//
// BASIS (to be filled in by measurement).
namespace quillmere::reader::raster_budget {

struct Budget {
    std::uint64_t memoryBytes = 0;
    std::chrono::milliseconds processorTime{0};
};

// The whole photo (rasterImage), converted through `conversion`.
Budget ofJpegImage(const JpegClaim& claim, IccConversion conversion);
Budget ofHeifImage(const HeifClaim& claim, IccConversion conversion);
// Its thumbnail (rasterThumbnail): a JPEG decoded at `scaledWidth` × `scaledHeight`, a HEIF file
// decoded whole.
Budget ofJpegThumbnail(const JpegClaim& claim, std::int64_t scaledWidth, std::int64_t scaledHeight,
                       IccConversion conversion);
Budget ofHeifThumbnail(const HeifClaim& claim);

}  // namespace quillmere::reader::raster_budget
