#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/imageio/metadata_entry.h"
#include "core/imageio/xmp_document.h"

namespace quillmere {

// The metadata an exported JPEG gets: EXIF (with GPS), IPTC and XMP. It is built from nothing or
// from the entries the photo reader read from a source file, edited, and written into a JPEG
// without touching the JPEG's compressed pixels. EXIF values are addressed by Exiv2's keys
// ("Exif.Image.Model", "Exif.Photo.PixelXDimension") and read and written as Exiv2's text form of
// the value
// ("1/125" for a rational, "100 200" for two numbers).
class PhotoMetadata {
  public:
    PhotoMetadata();
    // The EXIF and IPTC values of `entries`, in their order, and no XMP. An entry whose key Exiv2
    // does not know, or whose bytes are no value of its type, is left out.
    explicit PhotoMetadata(const std::vector<MetadataEntry>& entries);
    ~PhotoMetadata();
    PhotoMetadata(const PhotoMetadata& other);
    PhotoMetadata& operator=(const PhotoMetadata& other);
    PhotoMetadata(PhotoMetadata&& other) noexcept;
    PhotoMetadata& operator=(PhotoMetadata&& other) noexcept;

    std::optional<std::string> exifValue(std::string_view key) const;
    // Sets an EXIF value in the type the tag is defined with. Throws ImageIOError (invalid
    // metadata) for an unknown key or a text that is not a value of that type.
    void setExifValue(std::string_view key, std::string_view value);
    // Removes every value under `key`. Throws ImageIOError (invalid metadata) for an unknown key.
    void removeExifValue(std::string_view key);

    const XmpDocument& xmp() const { return xmp_; }
    XmpDocument& xmp() { return xmp_; }

    // The JPEG in `jpeg` with its EXIF, IPTC and XMP replaced by these; its pixels, ICC profile
    // and comment are kept byte for byte. XMP beyond the JPEG's one XMP segment is written as
    // extended XMP (see jpeg_extended_xmp.h), largest properties first. Throws ImageIOError:
    // xmpPacketTooLarge when the extended packet would pass jpeg_extended_xmp::maxPacketSize,
    // metadataWriteFailed when `jpeg` is not a JPEG or the metadata cannot be written.
    std::string writeToJpeg(std::string_view jpeg) const;

  private:
    struct Storage;

    // writeToJpeg with the standard XMP packet (empty for none), through Exiv2.
    std::string writeMetadata(std::string_view jpeg, const std::string& packet) const;

    std::unique_ptr<Storage> storage_;
    XmpDocument xmp_;
};

}  // namespace quillmere
