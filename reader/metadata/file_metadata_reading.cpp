#include "reader/metadata/file_metadata_reading.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg_extended_xmp.h"
#include "core/imageio/xmp_schema.h"
#include "reader/metadata/exiv2_image.h"
#include "reader/metadata/image_properties_reading.h"
#include "reader/metadata/xmp_parsing.h"

namespace quillmere {
namespace {

constexpr std::uint16_t kMakerNoteTag = 0x927c;
constexpr std::uint16_t kInteroperabilityPointerTag = 0xa005;

// Make, Model, Software, DateTime, Artist, Copyright, ImageDescription, HostComputer and the
// resolution: the image-directory tags that describe the capture rather than the stored data.
constexpr std::array<std::uint16_t, 11> kCaptureImageTags{
    0x010f, 0x0110, 0x0131, 0x0132, 0x013b, 0x8298, 0x010e, 0x013c, 0x011a, 0x011b, 0x0128};

bool isCaptureTag(const Exiv2::Exifdatum& datum) {
    const std::string group = datum.groupName();
    if (group == "Photo")
        return datum.tag() != kMakerNoteTag && datum.tag() != kInteroperabilityPointerTag;
    if (group == "GPSInfo") return true;
    if (group == "Image") {
        return std::find(kCaptureImageTags.begin(), kCaptureImageTags.end(), datum.tag()) !=
               kCaptureImageTags.end();
    }
    return false;
}

template <class Datum>
MetadataEntry entryOf(const Datum& datum) {
    MetadataEntry entry{datum.key(), static_cast<std::uint32_t>(datum.typeId()),
                        std::string(static_cast<std::size_t>(datum.size()), '\0')};
    if (!entry.value.empty()) {
        datum.copy(reinterpret_cast<Exiv2::byte*>(entry.value.data()), Exiv2::littleEndian);
    }
    return entry;
}

// The capture metadata of `exif` and `iptc`, as an exported JPEG takes it over; nothing when a
// value cannot be read.
std::vector<MetadataEntry> captureEntriesOf(const Exiv2::ExifData& exif,
                                            const Exiv2::IptcData& iptc) {
    std::vector<MetadataEntry> entries;
    try {
        for (const Exiv2::Exifdatum& datum : exif) {
            if (isCaptureTag(datum)) entries.push_back(entryOf(datum));
        }
        // The export is upright.
        Exiv2::Exifdatum orientation(Exiv2::ExifKey("Exif.Image.Orientation"));
        orientation = std::uint16_t{1};
        entries.push_back(entryOf(orientation));
        for (const Exiv2::Iptcdatum& datum : iptc) entries.push_back(entryOf(datum));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        return {};
    }
    return entries;
}

// The XMP of a file whose standard packet is `packet`: with the extended packet it names merged
// in when `readExtended(guid)` finds it whole. The note that names it is dropped either way: it
// describes how the file stores its XMP, not the photo. A packet that does not parse gives empty
// XMP.
template <class ReadExtended>
XmpDocument completeXmp(const std::string& packet, const ReadExtended& readExtended) {
    std::optional<XmpDocument> xmp = parseXmpPacket(packet);
    if (!xmp) return XmpDocument();
    const std::optional<std::string> guid = xmp->text(jpeg_extended_xmp::hasExtendedXmpPath);
    if (!guid) return std::move(*xmp);
    xmp->remove(jpeg_extended_xmp::hasExtendedXmpPath);
    const std::optional<std::string> extendedPacket = readExtended(*guid);
    const std::optional<XmpDocument> extended =
        extendedPacket ? parseXmpPacket(*extendedPacket) : std::nullopt;
    if (!extended) return std::move(*xmp);
    XmpDocument complete = *xmp;
    try {
        complete.merge(*extended);
    } catch (const ImageIOError&) {
        return std::move(*xmp);  // an extended packet that does not fit is left out whole
    }
    return complete;
}

std::optional<std::string> editRecordOf(const XmpDocument& xmp) {
    std::optional<std::string> text = xmp.text(editRecordXmpPath);
    return text ? text : xmp.text(legacyEditRecordXmpPath);
}

}  // namespace

PhotoFileMetadata readFileMetadata(const std::filesystem::path& file, std::string_view contents) {
    PhotoFileMetadata metadata;
    std::string packet;
    bool isJpeg = false;
    {
        Exiv2Lock lock;
        Exiv2::Image::AutoPtr image;
        try {
            image = exiv2_image::read(file, contents);
        } catch (const std::bad_alloc&) {
            throw;
        } catch (const std::exception&) {
            return metadata;  // a file Exiv2 cannot read has no metadata
        }
        metadata.properties = imagePropertiesOf(*image);
        metadata.capture = captureEntriesOf(image->exifData(), image->iptcData());
        packet = image->xmpPacket();
        isJpeg = image->imageType() == Exiv2::ImageType::jpeg;
    }
    // Read through the file as Exiv2 reads it, so that what is read costs no more resident memory
    // than it copies.
    const XmpDocument xmp =
        completeXmp(packet, [&](const std::string& guid) -> std::optional<std::string> {
            if (!isJpeg) return std::nullopt;
            std::ifstream jpeg(file, std::ios::binary);
            return jpeg_extended_xmp::read(jpeg, guid);
        });
    metadata.editRecord = editRecordOf(xmp);
    return metadata;
}

}  // namespace quillmere
