// The filmstrip and the capture data: a thumbnail and the image properties of any bytes. None of
// these readers may throw (they answer nothing for what they cannot read), so nothing is caught:
// an exception, a crash, a sanitizer report, an allocation beyond the fuzzer's memory limit or a
// hang is a fault.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/imageio/image_properties.h"
#include "reader/metadata/image_properties_reading.h"
#include "reader/raster/thumbnail.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The filmstrip's reader, which tells the format by the bytes as the decoder does; and each
    // format's reader on every input, whatever its bytes say.
    quillmere::Thumbnail::raster(bytes);
    quillmere::Thumbnail::jpeg(bytes);
    quillmere::Thumbnail::heif(bytes);
    // The loader turns the properties into their dictionary as soon as it has read them.
    quillmere::readImagePropertiesData(bytes).json();
    return 0;
}
