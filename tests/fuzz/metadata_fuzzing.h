#pragma once

// What the metadata fuzz targets share: every reader of a photo's metadata on the same bytes,
// and a check of what Exiv2 made of them once the metadata check let them through.

#include <cstddef>
#include <cstdlib>
#include <exception>
#include <exiv2/exiv2.hpp>
#include <string_view>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/image_properties.h"
#include "core/imageio/photo_metadata.h"
#include "reader/metadata/checks/metadata_limits.h"
#include "reader/metadata/exiv2_image.h"
#include "reader/metadata/image_properties_reading.h"
#include "reader/metadata/photo_metadata_reading.h"

namespace quillmere::fuzzing {

// Exiv2 copies a value for the entry that names it, a maker note whole beside its entries, and
// array elements out of their array; the check bounds each by the block. Far beyond that (or beyond
// the entries it allows, for the two TIFF structures of a RAF file), Exiv2 and the check disagree
// on how a file reads: that is a fault even where the fuzzer's memory limit is not reached.
inline void checkWhatExiv2Made(std::string_view bytes) {
    Exiv2Lock lock;
    Exiv2::Image::AutoPtr image;
    try {
        image = exiv2_image::readData(bytes);
    } catch (const std::exception&) {
        return;  // refused, or unreadable: nothing made
    }
    std::size_t made = 0;
    for (const Exiv2::Exifdatum& datum : image->exifData()) {
        made +=
            static_cast<std::size_t>(datum.size()) + static_cast<std::size_t>(datum.sizeDataArea());
    }
    if (image->exifData().count() > 2 * static_cast<long>(metadata::limits::tiffComponents) ||
        made > 4 * bytes.size() + 65536) {
        std::abort();
    }
}

// Every reader of metadata in memory, none of which may throw.
inline void readMetadata(std::string_view bytes) {
    readImagePropertiesData(bytes).json();
    if (const std::optional<PhotoMetadata> metadata = readPhotoMetadataData(bytes)) {
        metadata->xmp().empty();
    }
    checkWhatExiv2Made(bytes);
}

}  // namespace quillmere::fuzzing
