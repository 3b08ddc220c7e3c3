#include "rawbridge/libraw_instance.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "rawbridge/bridge_call.h"
#include "rawbridge/image_data.h"

namespace quillmere::rawbridge {
namespace {

constexpr unsigned kNoColourFilter = 0;
constexpr unsigned kXTransFilter = 9;
// LibRaw's colour patterns repeat within 16 rows and columns (its largest table, Leaf's, is
// 16 × 16), so a window of that size shows whether a pattern is a plain 2 × 2 Bayer quad.
constexpr int kPatternWindow = 16;

}  // namespace

LibRawInstance newLibRawInstance() {
    LibRawInstance raw = std::make_unique<LibRaw>(0);
    raw->set_dataerror_handler(nullptr, nullptr);
    raw->set_memerror_handler(nullptr, nullptr);
    return raw;
}

void check(int returnCode, const char* stage) {
    if (returnCode != 0) {
        throw std::runtime_error(std::string(stage) + ": " + libraw_strerror(returnCode));
    }
}

bool isThreeColourBayer(LibRaw& raw) {
    const unsigned filters = raw.imgdata.idata.filters;
    if (filters == kNoColourFilter || filters == kXTransFilter || raw.imgdata.idata.colors != 3) {
        return false;
    }
    // A rotated SuperCCD sensor keeps its samples on a diagonal grid that no 2 × 2 quad describes.
    if (raw.get_internal_data_pointer()->internal_output_params.fuji_width != 0) return false;
    for (int row = 0; row < kPatternWindow; ++row) {
        for (int col = 0; col < kPatternWindow; ++col) {
            if (raw.COLOR(row, col) != raw.COLOR(row & 1, col & 1)) return false;
        }
    }
    return true;
}

void checkSensorGeometry(const LibRaw& raw) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const std::uint64_t pitch = sizes.raw_pitch != 0 ? sizes.raw_pitch / 2 : sizes.raw_width;
    const bool inside = raw.imgdata.rawdata.raw_image != nullptr && pitch >= sizes.raw_width &&
                        std::uint64_t{sizes.left_margin} + sizes.width <= sizes.raw_width &&
                        std::uint64_t{sizes.top_margin} + sizes.height <= sizes.raw_height;
    if (!inside) fail("Unexpected RAW sensor geometry.");
}

LibRawInstance unpack(const char* path) {
    LibRawInstance raw = newLibRawInstance();
    check(raw->open_file(path), "Open RAW");
    requireImageData(*raw);
    check(raw->unpack(), "Unpack sensor");
    if (raw->imgdata.rawdata.raw_image == nullptr || !isThreeColourBayer(*raw)) {
        fail("The research denoiser currently requires a three-color Bayer RAW.");
    }
    checkSensorGeometry(*raw);
    return raw;
}

}  // namespace quillmere::rawbridge
