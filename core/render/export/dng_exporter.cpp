#include "core/render/export/dng_exporter.h"

#include <optional>
#include <string_view>
#include <utility>

#include "core/decode/photo_format.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/xmp_document.h"
#include "core/photo/path_extension.h"
#include "core/render/export/dng_directory_rewrite.h"
#include "core/render/export/dng_export_error.h"
#include "core/render/export/dng_file.h"
#include "core/render/export/embedded_edit_record.h"
#include "core/render/export/embedded_metadata.h"
#include "core/render/export/exporter_error.h"
#include "reader/metadata/checks/metadata_refusal.h"
#include "reader/metadata/checks/xmp_structure.h"

namespace quillmere::DNGExporter {
namespace {

constexpr std::string_view kCreatorToolPath = "xmp:CreatorTool";
constexpr std::string_view kCreator = "Quillmere";

// The new packet: everything the camera or the converter wrote, without earlier records and
// creator tools, plus what the options ask for. Empty when there is nothing to write.
std::string xmpPacket(std::optional<std::string_view> existingPacket, const EditParams& params,
                      const ExportOptions& options) {
    std::optional<XmpDocument> xmp;
    if (existingPacket) {
        try {
            metadata::checkXmpPacket(*existingPacket);
            xmp = XmpDocument::parse(*existingPacket);
        } catch (const metadata::MetadataRefusal&) {
            // More than a photo's XMP holds: the camera's packet is left out.
        }
    }
    if (!xmp) xmp.emplace();
    try {
        xmp->remove(EmbeddedMetadata::editRecordPath);
        xmp->remove(EmbeddedMetadata::legacyEditRecordPath);
        xmp->remove(kCreatorToolPath);
        if (options.includeEditParameters) {
            EmbeddedEditRecord record(params);
            record.editsAppliedToPixels = false;
            xmp->setText(EmbeddedMetadata::editRecordPath, record.json());
        }
    } catch (const ImageIOError&) {
        throw ExporterError::imageIOFailure();
    }
    if (options.includeSoftware) {
        try {
            xmp->setText(kCreatorToolPath, kCreator);
        } catch (const ImageIOError&) {
            // The creator tool is a courtesy; the export goes on without it.
        }
    }
    if (xmp->empty()) return {};
    // A packet that cannot be written would silently lose the edit record: refuse the export.
    try {
        return xmp->serialize();
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

std::string embed(std::string dng, const EditParams& params, const ExportOptions& options) {
    return rewriteDNGDirectory(
        std::move(dng),
        [&](std::optional<std::string_view> existing) {
            return xmpPacket(existing, params, options);
        },
        options.includeSoftware);
}

}  // namespace quillmere::DNGExporter
