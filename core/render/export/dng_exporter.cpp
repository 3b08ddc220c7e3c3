#include "core/render/export/dng_exporter.h"

#include <optional>
#include <string_view>
#include <utility>

#include "core/decode/photo_format.h"
#include "core/imageio/dng_export_xmp.h"
#include "core/imageio/imageio_error.h"
#include "core/photo/path_extension.h"
#include "core/reading/dng_xmp_packet.h"
#include "core/reading/photo_reader.h"
#include "core/render/export/dng_directory_rewrite.h"
#include "core/render/export/dng_export_error.h"
#include "core/render/export/embedded_edit_record.h"
#include "core/render/export/exporter_error.h"

namespace quillmere::DNGExporter {
namespace {

// The packet the photo reader builds from the DNG's own; nothing when it could not, or none is
// there to build on.
std::optional<std::string> builtByReader(const OpenedFile& dng, std::string_view packet,
                                         const std::optional<std::string>& record,
                                         bool includeSoftware) {
    try {
        return readerBuiltDngXmpPacket(PhotoReader::forProcess(), dng, packet, record,
                                       includeSoftware);
    } catch (const ReadingError&) {
        return std::nullopt;  // no reader to build it
    }
}

// The new packet: everything the camera or the converter wrote, without earlier records and
// creator tools, plus what the options ask for. Empty when there is nothing to write. The camera's
// packet is parsed by the photo reader only; one it could not build on within its budget is left
// out, and the packet is built from nothing, still with the record.
std::string xmpPacket(const OpenedFile& dng, std::optional<std::string_view> existingPacket,
                      const EditParams& params, const ExportOptions& options) {
    std::optional<std::string> record;
    if (options.includeEditParameters) {
        EmbeddedEditRecord embedded(params);
        embedded.editsAppliedToPixels = false;
        record = embedded.json();
    }
    if (existingPacket) {
        if (std::optional<std::string> built =
                builtByReader(dng, *existingPacket, record, options.includeSoftware)) {
            return std::move(*built);
        }
    }
    // A packet that cannot be written would silently lose the edit record: refuse the export.
    try {
        return dngExportXmpPacket(XmpDocument(), record, options.includeSoftware);
    } catch (const ImageIOError&) {
        throw ExporterError::imageIOFailure();
    }
}

}  // namespace

std::string data(const std::filesystem::path& originalURL, const EditParams& params,
                 const ExportOptions& options, const DNGConverterSetup& converter) {
    if (PhotoFormat::isRaster(originalURL)) {
        throw DNGExportError(DNGExportError::Code::rasterNotSupported);
    }
    if (lowercasedExtension(originalURL) == "dng") {
        return embed(readDNGFile(originalURL), params, options);
    }
    return embed(convertToDNG(originalURL, converter), params, options);
}

std::string embed(OpenedDNG dng, const EditParams& params, const ExportOptions& options) {
    const OpenedFile& file = *dng.file;
    return rewriteDNGDirectory(
        std::move(dng.bytes),
        [&](std::optional<std::string_view> existing) {
            return xmpPacket(file, existing, params, options);
        },
        options.includeSoftware);
}

}  // namespace quillmere::DNGExporter
