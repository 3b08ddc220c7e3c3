#include "reader/raster/raster_decoder.h"

#include <optional>
#include <string>

#include "core/common/file_io.h"
#include "reader/heif/heif_file.h"
#include "core/imageio/image_properties.h"
#include "core/imageio/imageio_error.h"
#include "reader/jpeg/jpeg_file.h"
#include "reader/raster/raster_kind.h"
#include "reader/metadata/image_properties_reading.h"

namespace quillmere {

LinearImage decodeRasterFile(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = file_io::readFile(file);
    if (!bytes) throw ImageIOError(ImageIOError::Code::unreadableFile);
    return decodeRasterData(*bytes);
}

LinearImage decodeRasterData(std::string_view data) {
    switch (rasterKindOf(data)) {
        case RasterKind::jpeg:
            return JpegFile(data).decodeLinear(readImagePropertiesData(data).orientation.value_or(1));
        case RasterKind::heif:
            return HeifFile(data).decodeLinear();
        case RasterKind::other:
            break;
    }
    throw ImageIOError(ImageIOError::Code::unsupportedFormat);
}

}  // namespace quillmere
