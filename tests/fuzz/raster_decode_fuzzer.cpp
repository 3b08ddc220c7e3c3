// Opening a photo: any bytes go to the decoder, which tells JPEG from HEIF by the data. It may
// refuse them with ImageIOError, its one documented failure; any other exception, a crash, a
// sanitizer report, an allocation beyond the fuzzer's memory limit or a hang is a fault.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/imageio/imageio_error.h"
#include "reader/raster/raster_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        quillmere::decodeRasterData({reinterpret_cast<const char*>(data), size});
    } catch (const quillmere::ImageIOError&) {
    }
    return 0;
}
