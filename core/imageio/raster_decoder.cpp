#include "core/imageio/raster_decoder.h"

#include <optional>
#include <string>

#include <libheif/heif.h>

#include "core/common/file_io.h"
#include "core/imageio/heif_decoder.h"
#include "core/imageio/image_properties.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg_decoder.h"

namespace quillmere {
namespace {

bool isJpeg(std::string_view bytes) {
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8 &&
           static_cast<unsigned char>(bytes[2]) == 0xFF;
}

bool isHeif(std::string_view bytes) {
    return heif_check_filetype(reinterpret_cast<const uint8_t*>(bytes.data()),
                               static_cast<int>(std::min<std::size_t>(bytes.size(), 64))) ==
           heif_filetype_yes_supported;
}

}  // namespace

LinearImage decodeRasterFile(const std::filesystem::path& file) {
    const std::optional<std::string> bytes = file_io::readFile(file);
    if (!bytes) throw ImageIOError(ImageIOError::Code::unreadableFile);
    return decodeRasterData(*bytes);
}

LinearImage decodeRasterData(std::string_view data) {
    if (isJpeg(data)) {
        return decodeJpeg(data, ImageProperties::readData(data).orientation.value_or(1));
    }
    if (isHeif(data)) return decodeHeif(data);
    throw ImageIOError(ImageIOError::Code::unsupportedFormat);
}

}  // namespace quillmere
