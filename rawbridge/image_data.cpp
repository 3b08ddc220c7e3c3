#include "rawbridge/image_data.h"

#include <cstdint>

#include "rawbridge/bridge_call.h"

namespace quillmere::rawbridge {
namespace {

constexpr std::uint64_t kSamplesPerByte = 64;  // an eighth of a bit each

}  // namespace

bool holdsImageData(LibRaw& raw) {
    const libraw_internal_data_t* internal = raw.get_internal_data_pointer();
    if (internal->internal_data.input == nullptr) return false;
    const std::int64_t fileSize = internal->internal_data.input->size();
    const std::int64_t dataOffset = internal->unpacker_data.data_offset;
    if (dataOffset < 0 || dataOffset >= fileSize) return false;

    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const std::uint64_t samplesPerSite =
        raw.imgdata.idata.filters != 0 ? 1 : static_cast<std::uint64_t>(raw.imgdata.idata.colors);
    const std::uint64_t samples =
        std::uint64_t{sizes.raw_width} * sizes.raw_height * samplesPerSite;
    return static_cast<std::uint64_t>(fileSize - dataOffset) >= samples / kSamplesPerByte;
}

void requireImageData(LibRaw& raw) {
    if (!holdsImageData(raw)) fail("The RAW file holds no image data.");
}

}  // namespace quillmere::rawbridge
