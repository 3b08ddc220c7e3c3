#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/imageio/image_properties.h"
#include "core/imageio/metadata_entry.h"

namespace quillmere {

// What the photo reader read of a photo file's metadata (reader_protocol::JobKind::metadata): its
// image properties, the capture metadata an exported JPEG takes over from it (EXIF and IPTC
// entries), and the text of the edit record its XMP carries. A file whose metadata is left out
// (past its budget, or unreadable) has none of them.
struct PhotoFileMetadata {
    ImageProperties properties;
    std::vector<MetadataEntry> capture;
    std::optional<std::string> editRecord;

    // About what the answer holds in memory: its texts and entries and what each costs besides.
    std::size_t memoryBytes() const;
    bool operator==(const PhotoFileMetadata&) const = default;
};

// The answer's wire form (wire.h) and its bounds. Real photos stay far inside them: their texts are
// a few dozen bytes, their EXIF, which a JPEG keeps in one 64 KB segment, a few hundred entries,
// and the largest edit record is as large as a JPEG's extended XMP may be.
namespace metadata_answer {

inline constexpr std::size_t kMaxTextBytes = 4096;  // a property's text
inline constexpr std::size_t kMaxIsoSpeeds = 64;
inline constexpr std::size_t kMaxCaptureEntries = 8192;
inline constexpr std::size_t kMaxKeyBytes = 128;
inline constexpr std::size_t kMaxCaptureBytes = std::size_t{1} << 20;  // keys and values together
inline constexpr std::size_t kMaxRecordBytes = std::size_t{64} << 20;

// `metadata` without what its wire form cannot hold: each property text, list of ISO speeds or
// record beyond its bound is left out alone, and the capture entries all together when they pass
// theirs (a part of them would be capture metadata the file does not hold).
PhotoFileMetadata withinBounds(PhotoFileMetadata metadata);

// The wire form of an answer within the bounds (withinBounds).
std::string encode(const PhotoFileMetadata& metadata);

// The answer of `body`. Throws WireError for one that does not decode or breaks the bounds: a text
// or list too long, a number that is not finite, an orientation outside 1 to 8, a pixel size below
// 1, a capture entry that is neither EXIF nor IPTC.
PhotoFileMetadata decode(std::string_view body);

}  // namespace metadata_answer
}  // namespace quillmere
