#include "core/imageio/exiv2_image.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include <libheif/heif.h>

#include "core/imageio/raster_kind.h"

namespace quillmere::exiv2_image {
namespace {

struct HeifDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};

// Exiv2 0.27 finds no EXIF in the HEIF files libheif writes, so the primary image's EXIF item
// is read through libheif, for the files the decoder takes for HEIF. The item starts with the
// 32-bit big-endian offset of the TIFF header that follows it.
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

    const std::unique_ptr<heif_context, HeifDeleter> context(heif_context_alloc());
    heif_image_handle* handlePointer = nullptr;
    if (!context ||
        heif_context_read_from_memory_without_copy(context.get(), file.pData_,
                                                   static_cast<std::size_t>(file.size_), nullptr)
                .code != heif_error_Ok ||
        heif_context_get_primary_image_handle(context.get(), &handlePointer).code != heif_error_Ok) {
        return;
    }
    const std::unique_ptr<heif_image_handle, HeifDeleter> handle(handlePointer);
    heif_item_id exifItem = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", &exifItem, 1) != 1) {
        return;
    }
    std::vector<std::uint8_t> block(heif_image_handle_get_metadata_size(handle.get(), exifItem));
    if (block.size() < 4 ||
        heif_image_handle_get_metadata(handle.get(), exifItem, block.data()).code != heif_error_Ok) {
        return;
    }
    const std::uint64_t offset = (std::uint64_t{block[0]} << 24) | (std::uint64_t{block[1]} << 16) |
                                 (std::uint64_t{block[2]} << 8) | std::uint64_t{block[3]};
    if (offset >= block.size() - 4 ||
        block.size() - 4 - offset > static_cast<std::uint64_t>(std::numeric_limits<std::uint32_t>::max())) {
        return;
    }
    Exiv2::ExifParser::decode(image.exifData(), block.data() + 4 + offset,
                              static_cast<std::uint32_t>(block.size() - 4 - offset));
}

Exiv2::Image::AutoPtr readMetadataOf(Exiv2::Image::AutoPtr image) {
    if (image.get() == nullptr) throw std::runtime_error("Exiv2 could not open the image.");
    image->readMetadata();
    if (image->exifData().empty()) readHeifExif(*image);
    return image;
}

}  // namespace

Exiv2::Image::AutoPtr read(const std::filesystem::path& file) {
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
