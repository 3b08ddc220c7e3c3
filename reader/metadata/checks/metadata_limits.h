#pragma once

#include <cstddef>
#include <cstdint>

// The bounds of what a photo's metadata may make the metadata library build. A camera writes a few
// hundred to a few thousand entries; these leave room for the largest maker notes and the richest
// XMP a photo carries, and keep the worst a file can ask for within some tens of megabytes and a
// fraction of a second.
namespace quillmere::metadata::limits {

// Entries, directories and array elements of one TIFF structure. A camera's EXIF with its maker
// note comes to a few thousand, counting each byte of a maker note's arrays as an element.
inline constexpr std::uint64_t tiffComponents = 32768;
// The reader looks a component up by walking all of them: for each thumbnail, strip list, maker
// note and array. Components visited so, in all.
inline constexpr std::uint64_t tiffLookupVisits = std::uint64_t{8} << 20;
// Directories inside directories. A camera nests four deep (IFD0, EXIF, maker note, its own
// sub-directory); Exiv2 follows the nesting by recursion.
inline constexpr int tiffNesting = 24;
// IPTC datasets of one block: each is looked up among the ones before it.
inline constexpr std::uint64_t iptcDatasets = 4096;
// XMP properties of one element: each is looked up among those before it, so their cost grows
// with their square (8192 take the parser 0.3 s). A camera or an editor writes hundreds, a long
// edit history a few thousand.
inline constexpr std::uint64_t xmpProperties = 8192;
// XMP items of one packet, array items included: each costs the parser about a kilobyte and a
// few microseconds. Photoshop's lists of ancestor documents reach tens of thousands.
inline constexpr std::uint64_t xmpItems = 262144;
// How deep XMP elements nest, and the namespaces a packet declares, which Exiv2 keeps for the
// rest of the process.
inline constexpr int xmpNesting = 64;
inline constexpr std::uint64_t xmpNamespaces = 256;
// ICC profile segments of a JPEG: Exiv2 copies the profile it has so far for each one. 64 hold
// a 4 MB profile, more than any photo's.
inline constexpr std::uint64_t jpegIccSegments = 64;
// CIFF (Canon CRW) components: a camera writes a few hundred.
inline constexpr std::uint64_t ciffComponents = 8192;

}  // namespace quillmere::metadata::limits
