#include "rawbridge/image_data.h"

#include "rawbridge/bridge_call.h"

namespace quillmere::rawbridge {
namespace {

// What a byte may hold (see samplesHeld): half a bit a mosaic sample, an eighth of a bit a sample
// of full-colour pixels.
constexpr std::uint64_t kMosaicSamplesPerByte = 16;
constexpr std::uint64_t kFullColourSamplesPerByte = 64;

}  // namespace

std::uint64_t samplesHeld(LibRaw& raw) {
    const libraw_internal_data_t* internal = raw.get_internal_data_pointer();
    if (internal->internal_data.input == nullptr) return 0;
    const std::int64_t fileSize = internal->internal_data.input->size();
    const std::int64_t dataOffset = internal->unpacker_data.data_offset;
    if (dataOffset < 0 || dataOffset >= fileSize) return 0;
    const bool mosaic = raw.imgdata.idata.filters != 0;
    return static_cast<std::uint64_t>(fileSize - dataOffset) *
           (mosaic ? kMosaicSamplesPerByte : kFullColourSamplesPerByte);
}

bool holdsImageData(LibRaw& raw) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const std::uint64_t samplesPerSite =
        raw.imgdata.idata.filters != 0 ? 1 : static_cast<std::uint64_t>(raw.imgdata.idata.colors);
    const std::uint64_t samples =
        std::uint64_t{sizes.raw_width} * sizes.raw_height * samplesPerSite;
    const std::uint64_t held = samplesHeld(raw);
    return held != 0 && samples <= held;
}

void requireImageData(LibRaw& raw) {
    if (!holdsImageData(raw)) fail("The RAW file holds no image data.");
}

}  // namespace quillmere::rawbridge
