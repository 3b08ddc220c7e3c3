#include "core/imageio/exiv2_image.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "core/imageio/heif/heif_file.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/raster_kind.h"

namespace quillmere::exiv2_image {
namespace {

// Exiv2 0.27 finds no EXIF in the HEIF files libheif writes, so the primary image's EXIF item
// is read through the program's own reading of HEIF files, for the files the decoder takes for
// HEIF.
void readHeifExif(Exiv2::Image& image) {
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0) return;
    // The brands come first, in the file's opening box: the rest is read only for a HEIF file.
    const Exiv2::DataBuf head = io.read(static_cast<long>(std::min<std::size_t>(io.size(), 4096)));
    const bool isHeif = head.size_ > 0 &&
                        rasterKindOf({reinterpret_cast<const char*>(head.pData_),
                                      static_cast<std::size_t>(head.size_)}) == RasterKind::heif;
    Exiv2::DataBuf file;
    if (isHeif && io.seek(0, Exiv2::BasicIo::beg) == 0) file = io.read(io.size());
    io.close();
    if (file.size_ <= 0) return;

    std::optional<std::string> exif;
    try {
        exif = HeifFile({reinterpret_cast<const char*>(file.pData_),
                         static_cast<std::size_t>(file.size_)})
                   .exif();
    } catch (const ImageIOError&) {
        return;  // boxes that cannot be read hold no EXIF the program reads
    }
    if (!exif || exif->size() > std::numeric_limits<std::uint32_t>::max()) return;
    Exiv2::ExifParser::decode(image.exifData(), reinterpret_cast<const Exiv2::byte*>(exif->data()),
                              static_cast<std::uint32_t>(exif->size()));
}

Exiv2::Image::AutoPtr readMetadataOf(Exiv2::Image::AutoPtr image) {
    if (image.get() == nullptr) throw std::runtime_error("Exiv2 could not open the image.");
    image->readMetadata();
    if (image->exifData().empty()) readHeifExif(*image);
    return image;
}

}  // namespace

Exiv2::Image::AutoPtr read(const std::filesystem::path& file) {
    // Exiv2 opens the file for reading, which waits for a writer on a FIFO: only a regular file
    // is given to it. (A FIFO, device or socket holds no photo's metadata anyway.)
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        throw std::runtime_error("Only a regular file holds a photo's metadata.");
    }
    return readMetadataOf(Exiv2::ImageFactory::open(file.string(), false));
}

Exiv2::Image::AutoPtr readData(std::string_view data) {
    if (data.size() > static_cast<std::size_t>(std::numeric_limits<long>::max())) {
        throw std::length_error("The image is larger than Exiv2 can address.");
    }
    return readMetadataOf(Exiv2::ImageFactory::open(
        reinterpret_cast<const Exiv2::byte*>(data.data()), static_cast<long>(data.size())));
}

}  // namespace quillmere::exiv2_image
