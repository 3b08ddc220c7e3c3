#include "core/decode/photo_thumbnail.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "core/common/file_io.h"
#include "core/decode/photo_format.h"
#include "core/photo/path_extension.h"
#include "rawbridge/qx_raw.h"

namespace quillmere {
namespace {

// Larger than any photo a camera or phone writes.
constexpr std::uintmax_t kMaximumRasterBytes = std::uintmax_t{1} << 30;

std::optional<Rgb8Image> rawThumbnail(const std::filesystem::path& url, int longestSide) {
    std::int32_t size[2] = {0, 0};
    std::uint8_t* pixels = nullptr;
    char error[1024];
    if (qx_raw_thumbnail(url.c_str(), size, &pixels, error, sizeof error) != 0) {
        return std::nullopt;
    }
    const std::unique_ptr<std::uint8_t, decltype(&qx_raw_free)> owned(pixels, qx_raw_free);
    Rgb8Image image;
    image.width = size[0];
    image.height = size[1];
    image.rgb.assign(pixels, pixels + std::size_t(size[0]) * std::size_t(size[1]) * 3);
    return Thumbnail::fittingWithin(image, longestSide);
}

}  // namespace

std::optional<Rgb8Image> photoThumbnail(const std::filesystem::path& url, int longestSide) {
    try {
        if (PhotoFormat::isRAW(url)) return rawThumbnail(url, longestSide);
        if (!PhotoFormat::isRaster(url)) return std::nullopt;
        const std::optional<std::string> bytes = file_io::readFile(url, kMaximumRasterBytes);
        if (!bytes) return std::nullopt;
        const std::string extension = lowercasedExtension(url);
        if (extension == "jpg" || extension == "jpeg") {
            return Thumbnail::jpeg(*bytes, longestSide);
        }
        return Thumbnail::heif(*bytes, longestSide);
    } catch (const std::exception&) {
        // Out of memory while copying pixels: no thumbnail rather than no program.
        return std::nullopt;
    }
}

}  // namespace quillmere
