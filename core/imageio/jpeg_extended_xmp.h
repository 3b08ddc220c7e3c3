#pragma once

// Extended XMP in JPEG files, laid out as Adobe defines it for files too large for one segment. A
// JPEG gives XMP one APP1 segment, which holds at most XmpDocument::maxJpegPacketSize bytes.
// Properties beyond that go into a second packet, the extended one, stored in further APP1
// segments: each holds the namespace "http://ns.adobe.com/xmp/extension/" with its NUL, the GUID
// (the MD5 digest of the whole extended packet as 32 upper-case hexadecimal digits), the packet's
// full length and the offset of the portion that follows (both 32-bit big-endian). The standard
// packet names the GUID in xmpNote:HasExtendedXMP, so a reader takes only the portions that belong
// to it.

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::jpeg_extended_xmp {

// The property of the standard packet that names the extended one.
inline constexpr std::string_view hasExtendedXmpPath = "xmpNote:HasExtendedXMP";

// The largest extended packet written or read: 64 MiB. The program's one large property is the
// edit record, whose spot-repair paths take about 50 bytes a point once written as XMP, so the
// limit lies beyond a million points; a real edit stays far below it (a long brush stroke has a
// few thousand). Reading a damaged or hostile file never allocates more.
inline constexpr std::size_t maxPacketSize = std::size_t{64} << 20;

// The GUID of `packet`.
std::string guid(std::string_view packet);

// `jpeg` with `packet` stored as the extended XMP of `guid`, in segments right after the standard
// XMP segment. Throws ImageIOError: xmpPacketTooLarge for a packet beyond maxPacketSize,
// metadataWriteFailed when `jpeg` is not a JPEG with a standard XMP segment.
std::string insert(std::string_view jpeg, std::string_view packet, std::string_view guid);

// The extended packet of `guid` in the JPEG read from `jpeg` (its segments up to the scan data):
// the portions put together. Nothing when the stream is not a JPEG, when portions are missing,
// overlap or disagree about the length, when the length is beyond maxPacketSize, or when the
// bytes do not have the GUID's digest (a packet another program changed or left half written).
std::optional<std::string> read(std::istream& jpeg, std::string_view guid);
// The same for a JPEG in memory.
std::optional<std::string> read(std::string_view jpeg, std::string_view guid);

}  // namespace quillmere::jpeg_extended_xmp
