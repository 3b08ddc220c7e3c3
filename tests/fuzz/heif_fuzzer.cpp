// Opening a HEIC or HEIF photo: the same decoder as the raster fuzzer, started from HEIF files
// only and kept to them, so that its mutations are spent on the boxes, item references and
// derived images that our checks read before libheif does.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/imageio/imageio_error.h"
#include "reader/raster/raster_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // What the decoder would take for a JPEG (its start-of-image marker) is the raster
    // fuzzer's: refused, it never joins this corpus.
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return -1;
    try {
        quillmere::decodeRasterData({reinterpret_cast<const char*>(data), size});
    } catch (const quillmere::ImageIOError&) {
    }
    return 0;
}
