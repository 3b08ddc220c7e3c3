// The metadata of a JPEG (its EXIF segment, XMP packet, Photoshop IPTC and ICC segments) through
// every reader: the image properties, the photo metadata an export copies, and the thumbnail,
// which reads the orientation. Nothing may throw; a crash, a sanitizer report, memory beyond the
// fuzzer's limit, a hang, or Exiv2 making far more than the check allows is a fault.

#include <cstddef>
#include <cstdint>

#include "reader/raster/thumbnail.h"
#include "tests/fuzz/metadata_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quillmere::fuzzing::readMetadata(bytes);
    quillmere::Thumbnail::jpeg(bytes, 64);
    return 0;
}
