#include "reader/metadata/exiv2_image.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "core/imageio/imageio_error.h"
#include "reader/heif/heif_file.h"
#include "reader/raster/raster_kind.h"

namespace quillmere::exiv2_image {
namespace {

void readHeifExif(Exiv2::Image& image, std::string_view contents) {
    if (rasterKindOf(contents) != RasterKind::heif) return;
    std::optional<std::string> exif;
    try {
        exif = HeifFile(contents).exif();
    } catch (const ImageIOError&) {
        return;  // boxes that cannot be read hold no EXIF the program reads
    }
    if (!exif || exif->size() > std::numeric_limits<std::uint32_t>::max()) return;
    Exiv2::ExifParser::decode(image.exifData(), reinterpret_cast<const Exiv2::byte*>(exif->data()),
                              static_cast<std::uint32_t>(exif->size()));
}

}  // namespace

Exiv2::Image::AutoPtr read(const std::filesystem::path& file, std::string_view contents) {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(file.string(), false);
    if (image.get() == nullptr) throw std::runtime_error("Exiv2 could not open the image.");
    try {
        image->readMetadata();
    } catch (const Exiv2::AnyError&) {
        // Exiv2 gives up on some phones' HEIF files for a box it cannot parse that holds no
        // metadata (an ICC profile it takes for invalid); their EXIF item is still read below,
        // as for a file in which it finds none. Any other file's failure is its own.
        if (rasterKindOf(contents) != RasterKind::heif) throw;
        image->clearMetadata();
    }
    if (image->exifData().empty()) readHeifExif(*image, contents);
    return image;
}

}  // namespace quillmere::exiv2_image
