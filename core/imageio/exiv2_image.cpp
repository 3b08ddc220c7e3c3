#include "core/imageio/exiv2_image.h"

#include <limits>
#include <stdexcept>

namespace quillmere::exiv2_image {
namespace {

Exiv2::Image::AutoPtr readMetadataOf(Exiv2::Image::AutoPtr image) {
    if (image.get() == nullptr) throw std::runtime_error("Exiv2 could not open the image.");
    image->readMetadata();
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
