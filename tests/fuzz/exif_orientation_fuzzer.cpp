// The EXIF orientation the photo reader takes a JPEG's pixels through, read by the program's own
// reader of the first EXIF segment (JpegFile::orientationOf), beside Exiv2's reading of the same
// bytes. The reader must answer 1 to 8 for any bytes, and where Exiv2 reads the file's metadata
// without giving up, the orientation Exiv2 finds (taken as the program took it); a difference
// aborts. Where Exiv2 gives the metadata up, it may have given up on a directory the reader does
// not walk (a maker note), so only the range is held.

#include <exiv2/exiv2.hpp>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "reader/jpeg/jpeg_file.h"
#include "tests/fixtures/exiv2_orientation.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int ours = quillmere::JpegFile::orientationOf(bytes);
    if (ours < 1 || ours > 8) std::abort();
    const std::optional<int> exiv2 = quillmere::fixtures::exiv2JpegOrientation(bytes);
    if (exiv2 && *exiv2 != ours) std::abort();
    return 0;
}
