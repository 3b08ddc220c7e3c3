#include "core/imageio/photo_metadata.h"

#include <algorithm>
#include <utility>
#include <array>
#include <cstdint>

#include <exiv2/exiv2.hpp>

#include "core/imageio/exiv2_image.h"
#include "core/imageio/exiv2_lock.h"
#include "core/imageio/imageio_error.h"

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
};

template <class Open>
std::optional<ReadMetadata> readWithExiv2(const Open& open) {
    Exiv2Lock lock;
    try {
        Exiv2::Image::AutoPtr image = open();
        return ReadMetadata{image->exifData(), image->iptcData(), image->xmpPacket()};
    } catch (const std::exception&) {
        return std::nullopt;
    }
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

PhotoMetadata PhotoMetadata::withXmpPacket(Storage&& storage, const std::string& xmpPacket) {
    std::optional<XmpDocument> xmp = XmpDocument::parse(xmpPacket);
    return PhotoMetadata(std::move(storage), xmp ? std::move(*xmp) : XmpDocument());
}

std::optional<PhotoMetadata> PhotoMetadata::read(const std::filesystem::path& file) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::read(file); });
    if (!read) return std::nullopt;
    return withXmpPacket(Storage{std::move(read->exif), std::move(read->iptc)}, read->xmpPacket);
}

std::optional<PhotoMetadata> PhotoMetadata::readData(std::string_view data) {
    std::optional<ReadMetadata> read = readWithExiv2([&] { return exiv2_image::readData(data); });
    if (!read) return std::nullopt;
    return withXmpPacket(Storage{std::move(read->exif), std::move(read->iptc)}, read->xmpPacket);
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
            throw ImageIOError(ImageIOError::Code::invalidMetadata,
                               "\"" + std::string(value) + "\" is not a value of " +
                                   std::string(key) + ".");
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
    const std::string packet = xmp_.empty() ? std::string() : xmp_.serialize();
    if (packet.size() > XmpDocument::maxJpegPacketSize) {
        throw ImageIOError(ImageIOError::Code::xmpPacketTooLarge,
                           "The packet has " + std::to_string(packet.size()) + " bytes; at most " +
                               std::to_string(XmpDocument::maxJpegPacketSize) + " fit.");
    }
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
