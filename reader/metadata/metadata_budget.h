#pragma once

#include <chrono>
#include <cstdint>

// What reading a photo's metadata may take: the memory and processor time of Exiv2's reading (its
// XMP toolkit's included) and the program's own, from the bytes they read (metadataExtentOf, or
// the size of an XMP packet and record for a DNG export): a base, so much a byte, up to a cap.
// Past its budget a reader is ended and the metadata is left out; the photo still opens and
// exports without it.
//
// Measured with bench/tools/quillmere_metadata_costs over 1,470 real photos of every kind the
// program opens (public test-image collections: JPEGs with the largest XMP, a 1.36 MB extended XMP
// depth map among them, and the longest maker notes, Sony's; HEIC, CR3, CRW, NEF, DNG and the rest) and the bench
// photos (24-megapixel Bayer, linear and four-colour DNGs of 48 to 144 MB, a 200-megapixel HEIC):
// each read takes at most 36 ms of processor time (Sony's 40 KB of maker notes: 17 ms of their
// 290 ms) and 5 MiB of data above what the reader held (Sony's: 4 MiB of their 33 MiB), so the
// budget leaves at least 6 times the time and 6 times the memory every real photo took, and the
// reader answered all 1,470 as the same read without limits does. The caps hold any file to
// 0.5 s of processor time (the 1.36 MB of an extended XMP depth map took 40 ms: 12 times less),
// so that a cold DNG export of a hostile DNG, whose metadata and packet are each read once, ends
// well within 2 s on a busy machine; and the reader's data to the cap and the claim phase's
// 64 MiB: 104 MiB, which keeps the reader's resident memory near 115 MB and the program's and the
// reader's together under 150 MB. The hostile families exceed their budgets by far: XMP of
// 6,500 properties of one schema in a JPEG's one segment takes 0.6 s of its 0.31 s, XMP nested
// 990 structures deep 430 MB of its 46 MiB.
namespace quillmere {

struct MetadataBudget {
    // Besides the claim phase's (reader/service/limits.h), which the reader adds.
    std::uint64_t memoryBytes = 0;
    std::chrono::milliseconds processorTime{0};
};

inline constexpr std::uint64_t kMetadataBaseMemory = std::uint64_t{32} << 20;
inline constexpr std::uint64_t kMetadataMemoryPerByte = 48;
inline constexpr std::uint64_t kMetadataMostMemory = std::uint64_t{40} << 20;
inline constexpr std::chrono::milliseconds kMetadataBaseProcessorTime{250};
inline constexpr std::uint64_t kMetadataBytesPerProcessorMillisecond = 1000;
inline constexpr std::chrono::milliseconds kMetadataMostProcessorTime{500};

// kMetadataBaseMemory + kMetadataMemoryPerByte × bytes, at most kMetadataMostMemory;
// kMetadataBaseProcessorTime + bytes / kMetadataBytesPerProcessorMillisecond, at most
// kMetadataMostProcessorTime.
MetadataBudget metadataBudget(std::uint64_t metadataBytes);

}  // namespace quillmere
