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
constexpr int kRed = 0;
constexpr int kBlue = 2;

bool isGreen(int colour) { return colour == 1 || colour == 3; }

// Whether a three-colour filter repeats every two rows and columns.
bool repeatsEveryQuad(LibRaw& raw) {
    const unsigned filters = raw.imgdata.idata.filters;
    if (filters == kNoColourFilter || filters == kXTransFilter || raw.imgdata.idata.colors != 3) {
        return false;
    }
    for (int row = 0; row < kPatternWindow; ++row) {
        for (int col = 0; col < kPatternWindow; ++col) {
            if (raw.COLOR(row, col) != raw.COLOR(row & 1, col & 1)) return false;
        }
    }
    return true;
}

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

LibRawInstance openFile(const char* path) {
    LibRawInstance raw = newLibRawInstance();
    check(raw->open_file(path), "Open RAW");
    requireImageData(*raw);
    requireBayerQuad(*raw);
    return raw;
}

void requireBayerQuad(LibRaw& raw) {
    if (!repeatsEveryQuad(raw)) return;
    const int diagonal[2] = {raw.COLOR(0, 0), raw.COLOR(1, 1)};
    const int antidiagonal[2] = {raw.COLOR(0, 1), raw.COLOR(1, 0)};
    const auto redAndBlue = [](const int(&pair)[2]) {
        return (pair[0] == kRed && pair[1] == kBlue) || (pair[0] == kBlue && pair[1] == kRed);
    };
    const auto greens = [](const int(&pair)[2]) { return isGreen(pair[0]) && isGreen(pair[1]); };
    if (!(redAndBlue(diagonal) && greens(antidiagonal)) &&
        !(greens(diagonal) && redAndBlue(antidiagonal))) {
        fail("Unsupported CFA layout.");
    }
}

bool isThreeColourBayer(LibRaw& raw) {
    // A rotated SuperCCD sensor keeps its samples on a diagonal grid that no 2 × 2 quad describes.
    return repeatsEveryQuad(raw) &&
           raw.get_internal_data_pointer()->internal_output_params.fuji_width == 0 &&
           raw.imgdata.sizes.pixel_aspect == 1.0;
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
    constexpr const char* kNotBayer =
        "The research denoiser currently requires a three-color Bayer RAW.";
    LibRawInstance raw = openFile(path);
    // Known from the header: a file of another kind is not unpacked for nothing.
    if (!isThreeColourBayer(*raw)) fail(kNotBayer);
    check(raw->unpack(), "Unpack sensor");
    if (raw->imgdata.rawdata.raw_image == nullptr || !isThreeColourBayer(*raw)) fail(kNotBayer);
    checkSensorGeometry(*raw);
    return raw;
}

}  // namespace quillmere::rawbridge
