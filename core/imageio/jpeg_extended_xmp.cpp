#include "core/imageio/jpeg_extended_xmp.h"

#include <openssl/evp.h>

#include <array>
#include <cstdint>
#include <map>
#include <streambuf>

#include "core/imageio/imageio_error.h"

namespace quillmere::jpeg_extended_xmp {
namespace {

constexpr int kStartOfImage = 0xD8;
constexpr int kEndOfImage = 0xD9;
constexpr int kStartOfScan = 0xDA;
constexpr int kApp1 = 0xE1;

constexpr std::string_view kStandardNamespace{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kExtensionNamespace{"http://ns.adobe.com/xmp/extension/\0", 35};
constexpr std::size_t kGuidLength = 32;
// Namespace, GUID, full length and offset.
constexpr std::size_t kChunkHeaderSize = kExtensionNamespace.size() + kGuidLength + 4 + 4;
// A segment's 16-bit length counts itself.
constexpr std::size_t kMaxSegmentPayload = 0xFFFF - 2;
constexpr std::size_t kMaxPortion = kMaxSegmentPayload - kChunkHeaderSize;

// Reads a string_view as a stream without copying it.
class ViewBuffer : public std::streambuf {
  public:
    explicit ViewBuffer(std::string_view view) {
        char* begin = const_cast<char*>(view.data());
        setg(begin, begin, begin + view.size());
    }
};

struct Segment {
    int marker = 0;
    std::string payload;
    std::uint64_t end = 0;  // the offset just past the segment
};

// Calls visit(segment) for each marker segment from the start of the image to the scan data or
// the end of the image, while it answers true. False when the stream is not a well-formed JPEG
// up to there.
template <class Visit>
bool forEachSegment(std::istream& in, const Visit& visit) {
    if (in.get() != 0xFF || in.get() != kStartOfImage) return false;
    std::uint64_t position = 2;
    while (true) {
        if (in.get() != 0xFF) return false;
        int marker = 0;
        do {  // a marker may be preceded by any number of fill bytes
            marker = in.get();
            ++position;
        } while (marker == 0xFF);
        ++position;
        if (marker == std::char_traits<char>::eof()) return false;
        if (marker == kStartOfScan || marker == kEndOfImage) return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
        const int high = in.get();
        const int low = in.get();
        if (low == std::char_traits<char>::eof()) return false;
        const std::size_t length = (static_cast<std::size_t>(high) << 8) | low;
        if (length < 2) return false;
        Segment segment{marker, std::string(length - 2, '\0'), 0};
        if (!in.read(segment.payload.data(), static_cast<std::streamsize>(length - 2))) {
            return false;
        }
        position += length;
        segment.end = position;
        if (!visit(segment)) return true;
    }
}

void appendBigEndian(std::string& bytes, std::uint32_t value, int count) {
    for (int shift = 8 * (count - 1); shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
}

std::uint32_t bigEndianAt(std::string_view bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t index = offset; index < offset + 4; ++index) {
        value = (value << 8) | static_cast<unsigned char>(bytes[index]);
    }
    return value;
}

}  // namespace

std::string guid(std::string_view packet) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(packet.data(), packet.size(), digest.data(), &length, EVP_md5(), nullptr) != 1) {
        throw ImageIOError(ImageIOError::Code::metadataWriteFailed,
                           "The extended XMP could not be identified.");
    }
    constexpr std::string_view digits = "0123456789ABCDEF";
    std::string text;
    for (unsigned int index = 0; index < length; ++index) {
        text.push_back(digits[digest[index] >> 4]);
        text.push_back(digits[digest[index] & 0x0F]);
    }
    return text;
}

std::string insert(std::string_view jpeg, std::string_view packet, std::string_view guid) {
    if (packet.size() > maxPacketSize) {
        throw ImageIOError(ImageIOError::Code::xmpPacketTooLarge,
                           "It has " + std::to_string(packet.size()) + " bytes; at most " +
                               std::to_string(maxPacketSize) + " are written.");
    }
    ViewBuffer buffer(jpeg);
    std::istream stream(&buffer);
    std::optional<std::uint64_t> standardEnd;
    forEachSegment(stream, [&](const Segment& segment) {
        if (segment.marker == kApp1 && segment.payload.starts_with(kStandardNamespace)) {
            standardEnd = segment.end;
        }
        return !standardEnd;
    });
    if (!standardEnd || guid.size() != kGuidLength) {
        throw ImageIOError(ImageIOError::Code::metadataWriteFailed,
                           "The JPEG has no XMP segment to extend.");
    }

    std::string result(jpeg.substr(0, *standardEnd));
    for (std::size_t offset = 0; offset < packet.size(); offset += kMaxPortion) {
        const std::string_view portion = packet.substr(offset, kMaxPortion);
        result += "\xFF\xE1";
        appendBigEndian(result, static_cast<std::uint32_t>(2 + kChunkHeaderSize + portion.size()),
                        2);
        result += kExtensionNamespace;
        result += guid;
        appendBigEndian(result, static_cast<std::uint32_t>(packet.size()), 4);
        appendBigEndian(result, static_cast<std::uint32_t>(offset), 4);
        result += portion;
    }
    result += jpeg.substr(*standardEnd);
    return result;
}

std::optional<std::string> read(std::istream& jpeg, std::string_view guid) {
    std::map<std::uint32_t, std::string> portions;  // by offset
    std::optional<std::uint32_t> fullLength;
    std::size_t stored = 0;
    bool consistent = true;
    const bool wellFormed = forEachSegment(jpeg, [&](const Segment& segment) {
        const std::string_view payload = segment.payload;
        if (segment.marker != kApp1 || payload.size() < kChunkHeaderSize ||
            !payload.starts_with(kExtensionNamespace) ||
            payload.substr(kExtensionNamespace.size(), kGuidLength) != guid) {
            return true;
        }
        const std::uint32_t length = bigEndianAt(payload, kChunkHeaderSize - 8);
        const std::uint32_t offset = bigEndianAt(payload, kChunkHeaderSize - 4);
        const std::string_view portion = payload.substr(kChunkHeaderSize);
        stored += portion.size();
        consistent = (!fullLength || *fullLength == length) && length <= maxPacketSize &&
                     offset <= length && portion.size() <= length - offset && stored <= length &&
                     portions.emplace(offset, portion).second;
        fullLength = length;
        return consistent;
    });
    if (!wellFormed || !consistent || !fullLength) return std::nullopt;

    std::string packet;
    packet.reserve(*fullLength);
    for (const auto& [offset, portion] : portions) {
        if (offset != packet.size()) return std::nullopt;
        packet += portion;
    }
    if (packet.size() != *fullLength || jpeg_extended_xmp::guid(packet) != guid) {
        return std::nullopt;
    }
    return packet;
}

std::optional<std::string> read(std::string_view jpeg, std::string_view guid) {
    ViewBuffer buffer(jpeg);
    std::istream stream(&buffer);
    return read(stream, guid);
}

}  // namespace quillmere::jpeg_extended_xmp
