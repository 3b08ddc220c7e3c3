#include "reader/metadata/photo_metadata_reading.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <utility>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg_extended_xmp.h"
#include "core/imageio/photo_metadata_storage.h"
#include "reader/metadata/checks/metadata_refusal.h"
#include "reader/metadata/checks/xmp_structure.h"
#include "reader/metadata/exiv2_image.h"

namespace quillmere {
namespace {

constexpr std::uint16_t makerNoteTag = 0x927c;
constexpr std::uint16_t interoperabilityPointerTag = 0xa005;

// Make, Model, Software, DateTime, Artist, Copyright, ImageDescription, HostComputer and the
// resolution: the image-directory tags that describe the capture rather than the stored data.
constexpr std::array<std::uint16_t, 11> captureImageTags{
    0x010f, 0x0110, 0x0131, 0x0132, 0x013b, 0x8298, 0x010e, 0x013c, 0x011a, 0x011b, 0x0128};

bool isCaptureTag(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    if (group == "Photo") {
        return datum.tag() != makerNoteTag && datum.tag() != interoperabilityPointerTag;
    }
    if (group == "GPSInfo") return true;
    if (group == "Image") {
        return std::find(captureImageTags.begin(), captureImageTags.end(), datum.tag()) !=
               captureImageTags.end();
    }
    return false;
}

struct ReadMetadata {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
    std::string xmpPacket;
    bool isJpeg = false;
};

template <class Open>
std::optional<ReadMetadata> readWithExiv2(const Open& open) {
    Exiv2Lock lock;
    try {
        Exiv2::Image::AutoPtr image = open();
        return ReadMetadata{image->exifData(), image->iptcData(), image->xmpPacket(),
                            image->imageType() == Exiv2::ImageType::jpeg};
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// The properties of a packet from a file; a packet that holds more than a photo's XMP does reads
// as one that does not parse.
std::optional<XmpDocument> parseCheckedXmp(std::string_view packet) {
    try {
        metadata::checkXmpPacket(packet);
    } catch (const metadata::MetadataRefusal&) {
        return std::nullopt;
    }
    return XmpDocument::parse(packet);
}

// The XMP of a file whose standard packet is `packet`: with the extended packet it names merged
// in when `readExtended(guid)` finds it whole. The note that names it is dropped either way: it
// describes how the file stores its XMP, not the photo. A packet that does not parse gives empty
// XMP.
template <class ReadExtended>
XmpDocument completeXmp(const std::string& packet, const ReadExtended& readExtended) {
    std::optional<XmpDocument> xmp = parseCheckedXmp(packet);
    if (!xmp) return XmpDocument();
    const std::optional<std::string> guid = xmp->text(jpeg_extended_xmp::hasExtendedXmpPath);
    if (!guid) return std::move(*xmp);
    xmp->remove(jpeg_extended_xmp::hasExtendedXmpPath);
    const std::optional<std::string> extendedPacket = readExtended(*guid);
    const std::optional<XmpDocument> extended =
        extendedPacket ? parseCheckedXmp(*extendedPacket) : std::nullopt;
    if (!extended) return std::move(*xmp);
    XmpDocument complete = *xmp;
    try {
        complete.merge(*extended);
    } catch (const ImageIOError&) {
        return std::move(*xmp);  // an extended packet that does not fit is left out whole
    }
    return complete;
}

}  // namespace

std::optional<PhotoMetadata> readPhotoMetadata(const std::filesystem::path& file) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::read(file); });
    if (!read) return std::nullopt;
    XmpDocument xmp =
        completeXmp(read->xmpPacket, [&](const std::string& guid) -> std::optional<std::string> {
            if (!read->isJpeg) return std::nullopt;
            std::ifstream jpeg(file, std::ios::binary);
            return jpeg_extended_xmp::read(jpeg, guid);
        });
    return PhotoMetadata(PhotoMetadata::Storage{std::move(read->exif), std::move(read->iptc)},
                         std::move(xmp));
}

std::optional<PhotoMetadata> readPhotoMetadataData(std::string_view data) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::readData(data); });
    if (!read) return std::nullopt;
    XmpDocument xmp = completeXmp(read->xmpPacket, [&](const std::string& guid) {
        return read->isJpeg ? jpeg_extended_xmp::read(data, guid) : std::nullopt;
    });
    return PhotoMetadata(PhotoMetadata::Storage{std::move(read->exif), std::move(read->iptc)},
                         std::move(xmp));
}

std::optional<PhotoMetadata> readCaptureMetadata(const std::filesystem::path& source) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::read(source); });
    if (!read) return std::nullopt;
    Exiv2Lock lock;
    try {
        PhotoMetadata::Storage capture;
        for (const Exiv2::Exifdatum& datum : read->exif) {
            if (isCaptureTag(datum)) capture.exif.add(datum);
        }
        capture.exif["Exif.Image.Orientation"] = std::uint16_t{1};
        capture.iptc = std::move(read->iptc);
        return PhotoMetadata(std::move(capture), XmpDocument());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace quillmere
