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

namespace {

std::optional<int> exiv2Orientation(std::string_view bytes) {
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(bytes.data()), static_cast<long>(bytes.size()));
        if (image->imageType() != Exiv2::ImageType::jpeg) return std::nullopt;
        image->readMetadata();
        const Exiv2::ExifData& exif = image->exifData();
        const auto found = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (found == exif.end() || found->count() == 0) return 1;
        const Exiv2::TypeId type = found->typeId();
        if (type != Exiv2::unsignedShort && type != Exiv2::unsignedLong &&
            type != Exiv2::signedShort && type != Exiv2::signedLong &&
            type != Exiv2::unsignedByte && type != Exiv2::signedByte) {
            return 1;
        }
        const long value = found->toLong(0);
        return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int ours = quillmere::JpegFile::orientationOf(bytes);
    if (ours < 1 || ours > 8) std::abort();
    const std::optional<int> exiv2 = exiv2Orientation(bytes);
    if (exiv2 && *exiv2 != ours) std::abort();
    return 0;
}
