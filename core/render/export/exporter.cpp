#include "core/render/export/exporter.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "core/common/file_io.h"
#include "core/compute/lanczos_scale.h"
#include "core/imageio/color_profiles.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/photo_metadata.h"
#include "core/reading/photo_file_metadata.h"
#include "core/render/display/display_rgb8.h"
#include "core/render/export/dng_exporter.h"
#include "core/render/export/embedded_edit_record.h"
#include "core/render/export/embedded_metadata.h"
#include "core/render/export/exporter_error.h"

namespace quillmere {
namespace {

constexpr std::string_view creator = "Quillmere";

// Without the profile a JPEG is read as the viewer's own RGB, which for this program's output is
// sRGB anyway; an export is never refused for want of it.
std::string srgbProfileOrNone() {
    try {
        return iccProfileData(srgbPrimaries, TransferCurve::sRGB, srgbProfileDescription);
    } catch (const ImageIOError&) {
        return {};
    }
}

// A finite quality is limited to 0...1; infinity and NaN encode at full quality.
double exportQuality(double quality) {
    return std::isfinite(quality) ? std::clamp(quality, 0.0, 1.0) : 1.0;
}

// The source's Exif describes the camera's image; the export's own pixel size replaces it.
void recordPixelSize(PhotoMetadata& metadata, std::int64_t width, std::int64_t height) {
    metadata.setExifValue("Exif.Photo.PixelXDimension", std::to_string(width));
    metadata.setExifValue("Exif.Photo.PixelYDimension", std::to_string(height));
}

// `image` resampled to `size`, or nothing when it already has that size. Either edge counts: an
// image whose short edge cannot shrink below one pixel still has its long edge scaled.
std::shared_ptr<Texture> scaledTo(const Texture& image, const ExportOptions::PixelSize& size,
                                  const Device& device) {
    if (size.width == image.width() && size.height == image.height()) return nullptr;
    // Full floats keep the filter's result exact until it is rounded to 8 bits.
    std::shared_ptr<Texture> scaled =
        device.makeTexture({.pixelFormat = PixelFormat::rgba32Float,
                            .width = static_cast<int>(size.width),
                            .height = static_cast<int>(size.height),
                            .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite});
    if (!scaled) throw ExporterError::jpegEncodingFailed();
    lanczosScale(image, *scaled);
    return scaled;
}

// The capture metadata of the photo at `source` that an exported JPEG takes over, as the photo
// reader read it: none when its metadata cannot be read or was left out.
std::vector<MetadataEntry> captureMetadataOf(const std::filesystem::path& source) {
    return readPhotoFileMetadata(source)->capture;
}

// `jpeg` with the export's metadata, written once: the source's capture metadata with the creator
// and the pixel size, and an XMP packet built from nothing, so that it holds only what the switches
// ask for and never a record or creator that came from elsewhere. Capture metadata that cannot be
// written is left out: the photo still exports, without it.
std::string withExportMetadata(const std::string& jpeg, const std::vector<MetadataEntry>& capture,
                               const EditParams& params, const ExportOptions& options,
                               const ExportOptions::PixelSize& size) {
    std::optional<std::string> record;
    if (options.includeEditParameters) {
        EmbeddedEditRecord embedded(params);
        embedded.editsAppliedToPixels = true;
        record = embedded.json();
    }
    const auto written = [&](PhotoMetadata metadata) {
        XmpDocument xmp;
        if (record) xmp.setText(EmbeddedMetadata::editRecordPath, *record);
        if (options.includeSoftware) {
            xmp.setText("tiff:Software", creator);
            metadata.setExifValue("Exif.Image.Software", creator);
        } else {
            // The camera's own Software came over with the capture metadata.
            metadata.removeExifValue("Exif.Image.Software");
        }
        recordPixelSize(metadata, size.width, size.height);
        xmp.setText("tiff:ImageWidth", std::to_string(size.width));
        xmp.setText("tiff:ImageLength", std::to_string(size.height));
        metadata.xmp() = std::move(xmp);
        // A record with long repair strokes outgrows the JPEG's XMP segment and goes on as
        // extended XMP.
        return metadata.writeToJpeg(jpeg);
    };
    try {
        try {
            return written(PhotoMetadata(capture));
        } catch (const ImageIOError& error) {
            if (capture.empty() || error.code() == ImageIOError::Code::xmpPacketTooLarge) throw;
        }
        return written(PhotoMetadata());
    } catch (const ImageIOError& error) {
        // Only a record far beyond any real edit is too large even for that; its error says so.
        if (error.code() == ImageIOError::Code::xmpPacketTooLarge) throw;
        throw ExporterError::imageIOFailure();
    }
}

std::filesystem::path defaultDestination(const std::filesystem::path& source) {
    const std::filesystem::path folder = source.parent_path() / "exports";
    try {
        std::filesystem::create_directories(folder);
    } catch (const std::system_error&) {
        throw ExporterError::directoryCreationFailed(std::current_exception());
    }
    return folder / (source.stem().string() + "_edit.jpg");
}

}  // namespace

Exporter::Exporter(Device device) : device_(std::move(device)), srgbProfile_(srgbProfileOrNone()) {}

std::string Exporter::encoded(const Texture& image, double quality) const {
    try {
        // Band by band: the 8-bit image is never whole in memory.
        return encodeJpeg(
            image.width(), image.height(),
            [&](int first, int rows, std::uint8_t* rgb) {
                displayRgb8Rows(image, first, rows, rgb);
            },
            quality, srgbProfile_);
    } catch (const ImageIOError&) {
        throw ExporterError::jpegEncodingFailed();
    } catch (const std::bad_alloc&) {
        throw ExporterError::jpegEncodingFailed();
    }
}

std::string Exporter::withCaptureMetadata(std::string jpeg,
                                          const std::filesystem::path& originalRAWURL,
                                          std::int64_t width, std::int64_t height) const {
    const std::vector<MetadataEntry> capture = captureMetadataOf(originalRAWURL);
    if (capture.empty()) return jpeg;
    try {
        PhotoMetadata metadata(capture);
        recordPixelSize(metadata, width, height);
        return metadata.writeToJpeg(jpeg);
    } catch (const ImageIOError&) {
        // A photo whose metadata cannot be carried over still exports, without it.
        return jpeg;
    }
}

std::string Exporter::jpegData(const Texture& image, const std::filesystem::path& originalRAWURL,
                               double quality) const {
    return withCaptureMetadata(encoded(image, quality), originalRAWURL, image.width(),
                               image.height());
}

std::string Exporter::data(const Texture& image, const std::filesystem::path& originalURL,
                           const EditParams& params, const ExportOptions& options) const {
    // Not owned: the caller keeps the image, which outlives the call.
    return data(std::shared_ptr<const Texture>(std::shared_ptr<const Texture>(), &image),
                originalURL, params, options);
}

std::string Exporter::data(std::shared_ptr<const Texture> image,
                           const std::filesystem::path& originalURL, const EditParams& params,
                           const ExportOptions& options) const {
    if (options.format == ExportFormat::dng) {
        return DNGExporter::data(originalURL, params, options);
    }
    const ExportOptions::PixelSize size = options.pixelDimensions(image->width(), image->height());
    std::string jpeg;
    {
        const std::shared_ptr<Texture> scaled = scaledTo(*image, size, device_);
        jpeg = encoded(scaled ? *scaled : *image, exportQuality(options.quality));
    }
    image.reset();
    return withExportMetadata(jpeg, captureMetadataOf(originalURL), params, options, size);
}

std::filesystem::path Exporter::exportImage(const Texture& image,
                                            const std::filesystem::path& originalRAWURL,
                                            const std::optional<std::filesystem::path>& destination,
                                            double quality) const {
    const std::string jpeg = jpegData(image, originalRAWURL, quality);
    const std::filesystem::path target =
        destination ? *destination : defaultDestination(originalRAWURL);
    try {
        file_io::writeFileAtomically(target, jpeg);
    } catch (const std::system_error&) {
        throw ExporterError::writeFailed(std::current_exception());
    }
    return target;
}

}  // namespace quillmere
