#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "core/compute/device.h"
#include "core/compute/texture.h"
#include "core/edit/edit_params.h"
#include "core/render/export/export_options.h"

namespace quillmere {

// Turns a developed image into the bytes of a JPEG file: scaled down to the requested size,
// encoded as 8-bit sRGB with the sRGB profile embedded, carrying the source photo's capture
// metadata, the embedded edit record and the creator identification. The render engine owns one
// and calls it from its render queue; it holds no mutable state.
//
// The image is a developed texture: display-encoded sRGB values (limited to 0...1 when they are
// written), bottom row first, in any pixel format. The file is written top row first.
class Exporter {
  public:
    // `device` makes the texture a scaled export is resampled into.
    explicit Exporter(Device device = Device());

    // A full-size JPEG at `quality` (0 to 1; the encoder limits anything outside, NaN encodes at
    // 1) with the capture metadata of the photo at `originalRAWURL`: its Exif photo tags, GPS,
    // IPTC and camera identification, orientation 1 (the pixels are upright), the image's own
    // pixel size, and never a thumbnail. A source that cannot be read still exports, without
    // its metadata. Throws ExporterError::jpegEncodingFailed when no JPEG can be made.
    std::string jpegData(const Texture& image, const std::filesystem::path& originalRAWURL,
                         double quality) const;

    // The bytes of the exported file. A DNG comes from the DNG exporter, which does not use
    // `image`. A JPEG is scaled down uniformly to the options' long-edge limit, encoded at the
    // options' quality (limited to 0...1; a non-finite quality encodes at 1) with the source's
    // capture metadata, the output size in its Exif and XMP size entries, the edit record
    // ("quillmere:EditRecord", edits applied to the pixels) when includeEditParameters, and
    // "Quillmere" as Software when includeSoftware; a switch that is off leaves no record or
    // creator at all. A record too large for the JPEG's XMP segment is written as extended XMP.
    // Throws ExporterError: jpegEncodingFailed, imageIOFailure when the metadata cannot be
    // written; ImageIOError xmpPacketTooLarge, whose sentence says why, for a record beyond
    // jpeg_extended_xmp::maxPacketSize; EncodingError from the record; DNGExportError and the
    // file errors of a DNG export.
    std::string data(const Texture& image, const std::filesystem::path& originalURL,
                     const EditParams& params, const ExportOptions& options) const;
    // The same, letting the image go as soon as it is encoded, before any metadata is written:
    // a full-size export then never holds its image and the copies of its file at once.
    std::string data(std::shared_ptr<const Texture> image, const std::filesystem::path& originalURL,
                     const EditParams& params, const ExportOptions& options) const;

    // Writes `jpegData(image, originalRAWURL, quality)` atomically to `destination`, or by default
    // to "exports/<source name>_edit.jpg" beside the source (the folder is created), and returns
    // the path written. Throws as jpegData, and ExporterError directoryCreationFailed or
    // writeFailed with the system's error.
    std::filesystem::path exportImage(const Texture& image,
                                      const std::filesystem::path& originalRAWURL,
                                      const std::optional<std::filesystem::path>& destination,
                                      double quality) const;

  private:
    // `image` as a JPEG at `quality`, with the sRGB profile and no other metadata.
    std::string encoded(const Texture& image, double quality) const;
    // `jpeg`, of width × height pixels, with the capture metadata of the photo at
    // `originalRAWURL`, or as it is when that cannot be read or written.
    std::string withCaptureMetadata(std::string jpeg, const std::filesystem::path& originalRAWURL,
                                    std::int64_t width, std::int64_t height) const;

    Device device_;
    // Empty when LittleCMS cannot build it: the JPEG is then written without a profile.
    std::string srgbProfile_;
};

}  // namespace quillmere
