#include <cstdint>
#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "reader/jpeg/jpeg_file.h"

// The EXIF orientation of a JPEG, read as Exiv2 0.27 reads it (JpegBase::readMetadata, then the
// TIFF reader over the first "Exif" segment), without Exiv2: the pixels of a photo must not depend
// on a library whose XMP toolkit reads the same segments, nor on metadata the program may leave
// out. Exiv2 walks the segments up to the first scan; a segment that runs past the end of the
// file, or a broken header or profile it checks there, makes it give up the file's metadata whole,
// and with it the orientation, even when the EXIF segment came first. It stops walking once it has
// seen six of the segments it looks for, counted as it counts them. Of the TIFF block it reads
// the first directory; what it makes of deeper directories (maker notes) is not followed here.
namespace quillmere {
namespace {

// Exiv2 gives up the metadata whole.
struct Unread {};

constexpr int kEnd = -1;
constexpr int kStartOfImage = 0xD8;
constexpr int kEndOfImage = 0xD9;
constexpr int kStartOfScan = 0xDA;
constexpr int kQuantisationTables = 0xDB;
constexpr int kRestartInterval = 0xDD;
constexpr int kApp1 = 0xE1;
constexpr int kApp2 = 0xE2;
constexpr int kApp13 = 0xED;
constexpr int kComment = 0xFE;
// The segments Exiv2 looks for (EXIF, XMP, Photoshop, comment, ICC profile, frame) before it
// stops.
constexpr int kSegmentsLookedFor = 6;

constexpr std::string_view kExifId("Exif\0\0", 6);
constexpr std::string_view kXmpId("http://ns.adobe.com/xap/1.0/\0", 29);
constexpr std::string_view kPhotoshopId("Photoshop 3.0\0", 14);
constexpr std::string_view kIccId("ICC_PROFILE", 11);

constexpr std::uint16_t kOrientationTag = 0x0112;
// Exiv2 skips an entry stating this many values or more.
constexpr std::uint32_t kMaxValueCount = 0x10000000;
// Exiv2 reads no directory of more entries.
constexpr std::uint16_t kMaxDirectoryEntries = 256;

std::uint32_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t index = 0; index < width; ++index) {
        value = value << 8 | static_cast<unsigned char>(bytes[at + index]);
    }
    return value;
}

// A file read as Exiv2's memory reader reads it.
class Reader {
  public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    int nextByte() {
        return at_ < bytes_.size() ? static_cast<unsigned char>(bytes_[at_++]) : kEnd;
    }
    // `count` bytes, or Unread when the file holds fewer.
    std::string_view take(std::size_t count) {
        if (count > bytes_.size() - at_) throw Unread{};
        at_ += count;
        return bytes_.substr(at_ - count, count);
    }
    // Past anything up to the next 0xFF and the fill bytes after it: the marker they lead to.
    int nextMarker() {
        int byte = 0;
        while ((byte = nextByte()) != 0xFF) {
            if (byte == kEnd) return kEnd;
        }
        while ((byte = nextByte()) == 0xFF) {
        }
        return byte;
    }

  private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

bool hasLength(int marker) {
    return (marker >= 0xC0 && marker <= 0xCF) || (marker >= 0xE0 && marker <= 0xEF) ||
           marker == kQuantisationTables || marker == kRestartInterval || marker == kComment ||
           marker == kStartOfScan;
}

// A frame header as Exiv2 takes one for the image's size.
bool isFrame(int marker) {
    return (marker >= 0xC0 && marker <= 0xC3) || (marker >= 0xC5 && marker <= 0xCF);
}

// TIFF's integer types, of which the program takes an orientation: BYTE, SHORT, LONG, SBYTE,
// SSHORT, SLONG.
bool isInteger(std::uint16_t type) {
    return type == 1 || type == 3 || type == 4 || type == 6 || type == 8 || type == 9;
}

// The bytes a value of a TIFF type takes, as Exiv2 0.27 knows the types; an unknown type counts
// one byte.
std::uint32_t sizeOfType(std::uint16_t type) {
    switch (type) {
        case 3:
        case 8:
            return 2;
        case 4:
        case 9:
        case 11:
        case 13:
            return 4;
        case 5:
        case 10:
        case 12:
            return 8;
        default:
            return 1;
    }
}

// A TIFF block's fields in its byte order.
struct Tiff {
    std::string_view bytes;
    bool bigEndianOrder = false;

    std::uint32_t read(std::size_t at, std::size_t width) const {
        if (bigEndianOrder) return bigEndian(bytes, at, width);
        std::uint32_t value = 0;
        for (std::size_t index = width; index-- > 0;) {
            value = value << 8 | static_cast<unsigned char>(bytes[at + index]);
        }
        return value;
    }
};

// The orientation the first directory's first orientation entry holds, as the program takes it
// from what Exiv2 made of the entry: its first value when it is of an integer type (Exiv2 reads
// bytes as unsigned; 1 to 8 mean the same however a wider value's sign is read); nothing for a
// value of another type or of no values, which the program takes as stating no orientation.
std::optional<int> orientationOfEntry(const Tiff& tiff, std::size_t entry) {
    const std::uint16_t type = static_cast<std::uint16_t>(tiff.read(entry + 2, 2));
    const std::uint32_t count = tiff.read(entry + 4, 4);
    std::uint64_t size = std::uint64_t{sizeOfType(type)} * count;
    std::size_t at = entry + 8;
    if (size > 4) {
        // Values that do not lie wholly inside the block are read as none.
        const std::uint32_t offset = tiff.read(entry + 8, 4);
        if (offset == 0 || offset >= tiff.bytes.size() || size > tiff.bytes.size() - offset) {
            size = 0;
        }
        at = offset;
    }
    if (size == 0 || !isInteger(type)) return std::nullopt;
    // Read unsigned: a signed value below 0 is above 8 as well.
    const std::uint32_t value = tiff.read(at, sizeOfType(type));
    if (value < 1 || value > 8) return std::nullopt;
    return static_cast<int>(value);
}

// The orientation in an EXIF segment's TIFF block; Unread when its header is not one Exiv2 reads.
std::optional<int> orientationOfTiff(std::string_view bytes) {
    if (bytes.empty()) return std::nullopt;
    if (bytes.size() < 8 || bytes[0] != bytes[1] || (bytes[0] != 'I' && bytes[0] != 'M')) {
        throw Unread{};
    }
    const Tiff tiff{bytes, bytes[0] == 'M'};
    const std::uint32_t first = tiff.read(4, 4);
    if (tiff.read(2, 2) != 42 || first >= bytes.size()) throw Unread{};
    if (bytes.size() - first < 2) return std::nullopt;
    const std::uint32_t entries = tiff.read(first, 2);
    if (entries > kMaxDirectoryEntries) return std::nullopt;
    for (std::size_t index = 0; index < entries; ++index) {
        const std::size_t entry = first + 2 + index * 12;
        if (entry + 12 > bytes.size()) break;
        // An entry stating too many values is skipped as if it were not there.
        if (tiff.read(entry, 2) == kOrientationTag && tiff.read(entry + 4, 4) < kMaxValueCount) {
            return orientationOfEntry(tiff, entry);
        }
    }
    return std::nullopt;
}

// Exiv2's search for the next IPTC resource block (Photoshop::locateIptcIrb) in `blocks` from
// `from`: 0, with `next` where the block ends; 1 when the blocks end without one; -1 when a block
// runs past their end, or bytes are left that start no block.
int nextIptcBlock(std::string_view blocks, std::size_t from, std::size_t& next) {
    constexpr std::uint16_t kIptcBlock = 0x0404;
    const std::string_view rest = blocks.substr(from);
    const auto startsBlock = [&](std::size_t at) {
        const std::string_view id = rest.substr(at, 4);
        return id == "8BIM" || id == "AgHg" || id == "DCSR" || id == "PHUT";
    };
    const std::size_t size = rest.size();
    std::size_t position = 0;
    while (size >= 12 && position <= size - 12 && startsBlock(position)) {
        const std::size_t start = position;
        const auto type = static_cast<std::uint16_t>(bigEndian(rest, position + 4, 2));
        position += 6;
        // The name's length byte and the name, padded to an even size, counted in a byte.
        auto nameSize = static_cast<std::uint8_t>(static_cast<unsigned char>(rest[position]) + 1);
        nameSize = static_cast<std::uint8_t>(nameSize + (nameSize & 1));
        position += nameSize;
        if (position + 4 > size) return -1;
        const std::uint32_t dataSize = bigEndian(rest, position, 4);
        position += 4;
        if (dataSize > size - position) return -1;
        if (type == kIptcBlock) {
            next = from + start + nameSize + 10 + dataSize + (dataSize & 1);
            return 0;
        }
        position += dataSize + (dataSize & 1);
    }
    return position < size ? -1 : 1;
}

// Whether the Photoshop resource blocks gathered so far are whole as Exiv2 takes them
// (Photoshop::valid): no IPTC block among them runs past their end.
bool arePhotoshopBlocksWhole(std::string_view blocks) {
    std::size_t at = 0;
    int found = 0;
    while (at < blocks.size() && (found = nextIptcBlock(blocks, at, at)) == 0) {
    }
    return found >= 0;
}

// What Exiv2's walk of a JPEG's segments has seen.
struct Walk {
    int lookedFor = kSegmentsLookedFor;
    bool exifSeen = false, xmpSeen = false, photoshopWhole = false, profileSeen = false;
    bool commentRead = false, frameRead = false;
    std::optional<int> orientation;
    std::string photoshopBlocks;
    // The ICC profile's chunks so far: how many bytes, and its first four (its stated size).
    std::uint64_t profileBytes = 0;
    std::string profileStart;
};

// Takes one segment as Exiv2 does; false where Exiv2 stops walking.
bool takeSegment(Walk& walk, int marker, std::string_view segment) {
    const std::size_t size = segment.size();
    const std::string_view body = size >= 2 ? segment.substr(2) : std::string_view();
    if (!walk.exifSeen && marker == kApp1 && size >= 8 && body.starts_with(kExifId)) {
        walk.orientation = orientationOfTiff(segment.substr(8));
        walk.exifSeen = true;
        --walk.lookedFor;
    } else if (!walk.xmpSeen && marker == kApp1 && size >= 31 && body.starts_with(kXmpId)) {
        walk.xmpSeen = true;
        --walk.lookedFor;
    } else if (!walk.photoshopWhole && marker == kApp13 && size >= 16 &&
               body.starts_with(kPhotoshopId)) {
        walk.photoshopBlocks += segment.substr(16);
        if (!walk.photoshopBlocks.empty() && arePhotoshopBlocksWhole(walk.photoshopBlocks)) {
            walk.photoshopWhole = true;
            --walk.lookedFor;
        }
    } else if (marker == kComment && !walk.commentRead) {
        // Exiv2 keeps the first comment without its trailing zeros; an empty one is no comment.
        const std::size_t kept = body.find_last_not_of('\0');
        walk.commentRead = kept != std::string_view::npos;
        --walk.lookedFor;
    } else if (marker == kApp2 && size >= 13 && body.starts_with(kIccId)) {
        if (size < 20) return false;
        if (!walk.profileSeen) --walk.lookedFor;
        walk.profileSeen = true;
        const int chunk = static_cast<unsigned char>(segment[14]);
        const int chunks = static_cast<unsigned char>(segment[15]);
        std::uint64_t bytes = size - 16;
        if (chunk == 1 && chunks == 1) {
            const std::uint32_t stated = bigEndian(segment, 16, 4);
            if (stated > bytes) throw Unread{};
            bytes = stated;
        }
        const std::uint64_t wanted = 4 - std::min<std::size_t>(walk.profileStart.size(), 4);
        walk.profileStart += segment.substr(16, static_cast<std::size_t>(std::min(bytes, wanted)));
        walk.profileBytes += bytes;
        // The last chunk: the profile must be as long as its first field states.
        if (chunk == chunks &&
            (walk.profileBytes < 8 || bigEndian(walk.profileStart, 0, 4) != walk.profileBytes)) {
            throw Unread{};
        }
    } else if (!walk.frameRead && isFrame(marker)) {
        if (size < 8) return false;
        walk.frameRead = bigEndian(segment, 3, 2) != 0;
        if (walk.frameRead) --walk.lookedFor;
    }
    return true;
}

std::optional<int> readOrientation(std::string_view jpeg) {
    Reader reader(jpeg);
    if (jpeg.size() < 2 || static_cast<unsigned char>(jpeg[0]) != 0xFF ||
        static_cast<unsigned char>(jpeg[1]) != kStartOfImage) {
        throw Unread{};
    }
    reader.take(2);
    int marker = reader.nextMarker();
    if (marker == kEnd) throw Unread{};
    Walk walk;
    while (marker != kStartOfScan && marker != kEndOfImage && walk.lookedFor > 0) {
        std::string_view segment;
        if (hasLength(marker)) {
            const std::string_view length = reader.take(2);
            const std::uint32_t size = bigEndian(length, 0, 2);
            if (size < 2) throw Unread{};
            reader.take(size - 2);
            segment = std::string_view(length.data(), size);
        }
        if (!takeSegment(walk, marker, segment)) break;
        marker = reader.nextMarker();
        if (marker == kEnd) break;
    }
    return walk.orientation;
}

}  // namespace

int JpegFile::orientationOf(std::string_view bytes) {
    try {
        return readOrientation(bytes).value_or(1);
    } catch (const Unread&) {
        return 1;
    }
}

}  // namespace quillmere
