#include "reader/raster/raster_kind.h"

#include "reader/heif/heif_file.h"

namespace quillmere {
namespace {

bool isJpeg(std::string_view bytes) {
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 &&
           static_cast<unsigned char>(bytes[2]) == 0xFF;
}

}  // namespace

RasterKind rasterKindOf(std::string_view bytes) {
    if (isJpeg(bytes)) return RasterKind::jpeg;
    if (HeifFile::hasHeifBrand(bytes)) return RasterKind::heif;
    return RasterKind::other;
}

}  // namespace quillmere
