#include "core/imageio/photo_metadata.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <fstream>
#include <utility>

#include "core/imageio/exiv2_image.h"
#include "core/imageio/exiv2_lock.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg_extended_xmp.h"

namespace quillmere {

struct PhotoMetadata::Storage {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
};

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

Exiv2::ExifKey exifKeyFor(std::string_view key) {
    try {
        return Exiv2::ExifKey(std::string(key));
    } catch (const std::exception& error) {
        throw ImageIOError(ImageIOError::Code::invalidMetadata, error.what());
    }
}

void eraseAll(Exiv2::ExifData& exif, const Exiv2::ExifKey& key) {
    for (auto found = exif.findKey(key); found != exif.end(); found = exif.findKey(key)) {
        exif.erase(found);
    }
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

// The XMP of a file whose standard packet is `packet`: with the extended packet it names merged
// in when `readExtended(guid)` finds it whole. The note that names it is dropped either way: it
// describes how the file stores its XMP, not the photo. A packet that does not parse gives empty
// XMP.
template <class ReadExtended>
XmpDocument completeXmp(const std::string& packet, const ReadExtended& readExtended) {
    std::optional<XmpDocument> xmp = XmpDocument::parse(packet);
    if (!xmp) return XmpDocument();
    const std::optional<std::string> guid = xmp->text(jpeg_extended_xmp::hasExtendedXmpPath);
    if (!guid) return std::move(*xmp);
    xmp->remove(jpeg_extended_xmp::hasExtendedXmpPath);
    const std::optional<std::string> extendedPacket = readExtended(*guid);
    const std::optional<XmpDocument> extended =
        extendedPacket ? XmpDocument::parse(*extendedPacket) : std::nullopt;
    if (!extended) return std::move(*xmp);
    XmpDocument complete = *xmp;
    try {
        complete.merge(*extended);
    } catch (const ImageIOError&) {
        return std::move(*xmp);  // an extended packet that does not fit is left out whole
    }
    return complete;
}

// The packets a JPEG is given for `xmp`: the standard one alone when it fits its segment, else
// the largest properties in an extended packet and the rest with the note that names it.
struct JpegXmpPackets {
    std::string standard;
    std::string extended;
    std::string guid;
};

JpegXmpPackets jpegPackets(const XmpDocument& xmp) {
    if (xmp.empty()) return {};
    JpegXmpPackets packets{xmp.serialize(), {}, {}};
    if (packets.standard.size() <= XmpDocument::maxJpegPacketSize) return packets;

    XmpDocument standard = xmp;
    XmpDocument extended;
    // Sized like the GUID it stands for, so that what fits now fits then.
    standard.setText(jpeg_extended_xmp::hasExtendedXmpPath, std::string(32, '0'));
    for (const std::string& property : xmp.propertiesBySize()) {
        if (property == jpeg_extended_xmp::hasExtendedXmpPath) continue;
        standard.moveProperty(property, extended);
        if (standard.serialize().size() <= XmpDocument::maxJpegPacketSize) break;
    }
    packets.extended = extended.serialize(false);
    packets.guid = jpeg_extended_xmp::guid(packets.extended);
    standard.setText(jpeg_extended_xmp::hasExtendedXmpPath, packets.guid);
    packets.standard = standard.serialize();
    return packets;
}

}  // namespace

PhotoMetadata::PhotoMetadata() : storage_(std::make_unique<Storage>()) {}
PhotoMetadata::~PhotoMetadata() = default;
PhotoMetadata::PhotoMetadata(const PhotoMetadata& other)
    : storage_(std::make_unique<Storage>(*other.storage_)), xmp_(other.xmp_) {}
PhotoMetadata& PhotoMetadata::operator=(const PhotoMetadata& other) {
    if (this != &other) {
        storage_ = std::make_unique<Storage>(*other.storage_);
        xmp_ = other.xmp_;
    }
    return *this;
}
PhotoMetadata::PhotoMetadata(PhotoMetadata&& other) noexcept
    : storage_(std::exchange(other.storage_, std::make_unique<Storage>())),
      xmp_(std::move(other.xmp_)) {}
PhotoMetadata& PhotoMetadata::operator=(PhotoMetadata&& other) noexcept {
    std::swap(storage_, other.storage_);
    std::swap(xmp_, other.xmp_);
    return *this;
}

PhotoMetadata::PhotoMetadata(Storage&& storage, XmpDocument xmp)
    : storage_(std::make_unique<Storage>(std::move(storage))), xmp_(std::move(xmp)) {}

std::optional<PhotoMetadata> PhotoMetadata::read(const std::filesystem::path& file) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::read(file); });
    if (!read) return std::nullopt;
    XmpDocument xmp =
        completeXmp(read->xmpPacket, [&](const std::string& guid) -> std::optional<std::string> {
            if (!read->isJpeg) return std::nullopt;
            std::ifstream jpeg(file, std::ios::binary);
            return jpeg_extended_xmp::read(jpeg, guid);
        });
    return PhotoMetadata(Storage{std::move(read->exif), std::move(read->iptc)}, std::move(xmp));
}

std::optional<PhotoMetadata> PhotoMetadata::readData(std::string_view data) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::readData(data); });
    if (!read) return std::nullopt;
    XmpDocument xmp = completeXmp(read->xmpPacket, [&](const std::string& guid) {
        return read->isJpeg ? jpeg_extended_xmp::read(data, guid) : std::nullopt;
    });
    return PhotoMetadata(Storage{std::move(read->exif), std::move(read->iptc)}, std::move(xmp));
}

std::optional<PhotoMetadata> PhotoMetadata::captureMetadata(const std::filesystem::path& source) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::read(source); });
    if (!read) return std::nullopt;
    Exiv2Lock lock;
    try {
        Storage capture;
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

std::optional<std::string> PhotoMetadata::exifValue(std::string_view key) const {
    Exiv2Lock lock;
    const Exiv2::ExifKey exifKey = exifKeyFor(key);
    const auto found = storage_->exif.findKey(exifKey);
    if (found == storage_->exif.end()) return std::nullopt;
    return found->toString();
}

void PhotoMetadata::setExifValue(std::string_view key, std::string_view value) {
    Exiv2Lock lock;
    const Exiv2::ExifKey exifKey = exifKeyFor(key);
    try {
        Exiv2::Value::AutoPtr typed = Exiv2::Value::create(exifKey.defaultTypeId());
        if (typed->read(std::string(value)) != 0) {
            throw ImageIOError(
                ImageIOError::Code::invalidMetadata,
                "\"" + std::string(value) + "\" is not a value of " + std::string(key) + ".");
        }
        eraseAll(storage_->exif, exifKey);
        storage_->exif.add(exifKey, typed.get());
    } catch (const ImageIOError&) {
        throw;
    } catch (const std::exception& error) {
        throw ImageIOError(ImageIOError::Code::invalidMetadata, error.what());
    }
}

void PhotoMetadata::removeExifValue(std::string_view key) {
    Exiv2Lock lock;
    eraseAll(storage_->exif, exifKeyFor(key));
}

std::string PhotoMetadata::writeToJpeg(std::string_view jpeg) const {
    const JpegXmpPackets packets = jpegPackets(xmp_);
    const std::string& packet = packets.standard;
    std::string written = writeMetadata(jpeg, packet);
    if (packets.extended.empty()) return written;
    return jpeg_extended_xmp::insert(written, packets.extended, packets.guid);
}

std::string PhotoMetadata::writeMetadata(std::string_view jpeg, const std::string& packet) const {
    Exiv2Lock lock;
    try {
        Exiv2::Image::AutoPtr image = exiv2_image::readData(jpeg);
        if (image->imageType() != Exiv2::ImageType::jpeg) {
            throw ImageIOError(ImageIOError::Code::metadataWriteFailed, "The image is not a JPEG.");
        }
        image->setExifData(storage_->exif);
        image->setIptcData(storage_->iptc);
        image->clearXmpData();
        if (packet.empty()) {
            image->clearXmpPacket();
        } else {
            image->setXmpPacket(packet);
        }
        image->writeXmpFromPacket(true);
        image->writeMetadata();

        Exiv2::BasicIo& io = image->io();
        if (io.open() != 0 || io.seek(0, Exiv2::BasicIo::beg) != 0) {
            throw ImageIOError(ImageIOError::Code::metadataWriteFailed);
        }
        const Exiv2::DataBuf written = io.read(io.size());
        io.close();
        if (written.size_ <= 0) throw ImageIOError(ImageIOError::Code::metadataWriteFailed);
        return std::string(reinterpret_cast<const char*>(written.pData_),
                           static_cast<std::size_t>(written.size_));
    } catch (const ImageIOError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    } catch (const std::exception& error) {
        throw ImageIOError(ImageIOError::Code::metadataWriteFailed, error.what());
    }
}

}  // namespace quillmere
