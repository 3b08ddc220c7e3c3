#include "reader/raster/raster_decoder.h"

#include "reader/heif/heif_file.h"
#include "core/imageio/imageio_error.h"
#include "reader/jpeg/jpeg_file.h"
#include "reader/raster/raster_kind.h"

namespace quillmere {

LinearImage decodeRasterData(std::string_view data) {
    switch (rasterKindOf(data)) {
        case RasterKind::jpeg:
            return JpegFile(data).decodeLinear(JpegFile::orientationOf(data));
        case RasterKind::heif:
            return HeifFile(data).decodeLinear();
        case RasterKind::other:
            break;
    }
    throw ImageIOError(ImageIOError::Code::unsupportedFormat);
}

}  // namespace quillmere
