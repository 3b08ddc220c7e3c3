#include "core/imageio/raster_kind.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>

#include <libheif/heif.h>

namespace quillmere {
namespace {

// The structural brands of HEIF images and image sequences, and the brands of the codecs libheif
// may read inside them.
constexpr std::array<const char*, 11> kHeifBrands{"mif1", "mif2", "msf1", "heic", "heix", "heim",
                                                  "heis", "hevc", "hevx", "avif", "avis"};

bool isJpeg(std::string_view bytes) {
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 &&
           static_cast<unsigned char>(bytes[2]) == 0xFF;
}

bool isHeif(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    // The 'ftyp' box comes first and is small; libheif reads the brands from it alone.
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
    if (length < 12 || heif_check_filetype(data, length) == heif_filetype_no) return false;
    char major[4];
    heif_brand_to_fourcc(heif_read_main_brand(data, length), major);
    return std::any_of(kHeifBrands.begin(), kHeifBrands.end(), [&](const char* brand) {
        return std::equal(major, major + 4, brand) || heif_has_compatible_brand(data, length, brand) == 1;
    });
}

}  // namespace

RasterKind rasterKindOf(std::string_view bytes) {
    if (isJpeg(bytes)) return RasterKind::jpeg;
    if (isHeif(bytes)) return RasterKind::heif;
    return RasterKind::other;
}

}  // namespace quillmere
