#include "core/imageio/photo_metadata.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <exiv2/exiv2.hpp>
#include <limits>
#include <utility>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg_extended_xmp.h"

namespace quillmere {

struct PhotoMetadata::Storage {
    Exiv2::ExifData exif;
    Exiv2::IptcData iptc;
};

namespace {

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

// The value of `entry` in its type, or nothing when its bytes are none.
Exiv2::Value::AutoPtr valueOf(const MetadataEntry& entry) {
    Exiv2::Value::AutoPtr value = Exiv2::Value::create(static_cast<Exiv2::TypeId>(entry.type));
    const auto* bytes = reinterpret_cast<const Exiv2::byte*>(entry.value.data());
    if (entry.value.size() > static_cast<std::size_t>(std::numeric_limits<long>::max()) ||
        value->read(bytes, static_cast<long>(entry.value.size()), Exiv2::littleEndian) != 0) {
        return Exiv2::Value::AutoPtr();
    }
    return value;
}

// Adds `entry` to the EXIF or IPTC records, unless Exiv2 does not take it.
void addEntry(Exiv2::ExifData& exif, Exiv2::IptcData& iptc, const MetadataEntry& entry) {
    try {
        const Exiv2::Value::AutoPtr value = valueOf(entry);
        if (value.get() == nullptr) return;
        if (entry.key.starts_with("Exif.")) exif.add(Exiv2::ExifKey(entry.key), value.get());
        if (entry.key.starts_with("Iptc.")) iptc.add(Exiv2::IptcKey(entry.key), value.get());
    } catch (const std::exception&) {
        // An unknown key: the entry is left out.
    }
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

PhotoMetadata::PhotoMetadata(const std::vector<MetadataEntry>& entries)
    : storage_(std::make_unique<Storage>()) {
    Exiv2Lock lock;
    for (const MetadataEntry& entry : entries) addEntry(storage_->exif, storage_->iptc, entry);
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
        // The program's own JPEG, encoded a moment ago: opened from memory, never from a file.
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(jpeg.data()), static_cast<long>(jpeg.size()));
        image->readMetadata();
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
