#include "reader/metadata/exiv2_image.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "reader/heif/heif_file.h"
#include "core/imageio/imageio_error.h"
#include "reader/metadata/checks/metadata_check.h"
#include "reader/metadata/checks/metadata_refusal.h"
#include "reader/raster/raster_kind.h"

namespace quillmere::exiv2_image {
namespace {

// The first bytes of what `io` reads, enough for the brands of a HEIF file's opening box.
std::string headOf(Exiv2::BasicIo& io) {
    if (io.open() != 0) throw std::runtime_error("Exiv2 could not open the image.");
    const Exiv2::IoCloser closer(io);
    const Exiv2::DataBuf head = io.read(static_cast<long>(std::min<std::size_t>(io.size(), 4096)));
    if (head.size_ <= 0) return {};
    return std::string(reinterpret_cast<const char*>(head.pData_),
                       static_cast<std::size_t>(head.size_));
}

// Exiv2's own reading of HEIF boxes is not used: it copies every box it descends into, and finds
// no EXIF in the files libheif writes. The primary image's EXIF is read through the program's own
// reading of HEIF files, and checked before Exiv2 decodes it.
void readHeifExif(Exiv2::Image& image) {
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0) return;
    Exiv2::DataBuf file;
    if (io.seek(0, Exiv2::BasicIo::beg) == 0) file = io.read(io.size());
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
    metadata::checkExifBlock(*exif);
    Exiv2::ExifParser::decode(image.exifData(), reinterpret_cast<const Exiv2::byte*>(exif->data()),
                              static_cast<std::uint32_t>(exif->size()));
}

// How the metadata of an image of Exiv2's `type` is checked; nothing for the types whose reading
// the program does not check (PNG, WebP, PSD, JPEG 2000, BMFF files that are not HEIF such as
// CR3, Panasonic RW2 with its embedded preview, and the rest), which are read without metadata.
std::optional<metadata::MetadataContainer> containerOf(int type) {
    using metadata::MetadataContainer;
    switch (type) {
        case Exiv2::ImageType::jpeg:
            return MetadataContainer::jpeg;
        // TIFF, DNG and the RAW formats Exiv2 reads as plain TIFF (NEF, ARW, PEF, SRW, ...).
        case Exiv2::ImageType::tiff:
            return MetadataContainer::tiff;
        case Exiv2::ImageType::cr2:
            return MetadataContainer::cr2;
        case Exiv2::ImageType::orf:
            return MetadataContainer::orf;
        case Exiv2::ImageType::raf:
            return MetadataContainer::raf;
        case Exiv2::ImageType::mrw:
            return MetadataContainer::mrw;
        case Exiv2::ImageType::crw:
            return MetadataContainer::crw;
        default:
            return std::nullopt;
    }
}

// Checks the bytes Exiv2 is about to read `image` from, mapped rather than copied.
void checkMetadataOf(Exiv2::Image& image, metadata::MetadataContainer container) {
    Exiv2::BasicIo& io = image.io();
    if (io.open() != 0) throw std::runtime_error("Exiv2 could not open the image.");
    const Exiv2::IoCloser closer(io);
    const long size = io.size();
    const Exiv2::byte* bytes = size > 0 ? io.mmap() : nullptr;
    struct Unmap {
        Exiv2::BasicIo& io;
        ~Unmap() { io.munmap(); }
    } const unmap{io};
    metadata::checkMetadata(container, {reinterpret_cast<const char*>(bytes),
                                        static_cast<std::size_t>(std::max(size, 0L))});
}

Exiv2::Image::AutoPtr readMetadataOf(Exiv2::Image::AutoPtr image) {
    if (image.get() == nullptr) throw std::runtime_error("Exiv2 could not open the image.");
    if (rasterKindOf(headOf(image->io())) == RasterKind::heif) {
        readHeifExif(*image);
        return image;
    }
    const std::optional<metadata::MetadataContainer> container = containerOf(image->imageType());
    if (!container) {
        throw metadata::MetadataRefusal("The program does not read this file's metadata.");
    }
    checkMetadataOf(*image, *container);
    image->readMetadata();
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
