#pragma once

#include <chrono>
#include <cstdint>

// What reading a photo's metadata may take: the memory and processor time of Exiv2's reading (its
// XMP toolkit's included) and the program's own, from the bytes they read (metadataExtentOf, or
// the size of an XMP packet and record for a DNG export). Past its budget a reader is ended and
// the metadata is left out; the photo still opens and exports without it.
//
// Measured (metadata_budget.cpp says on what) with a margin of at least ten times over
// every real photo, and capped so that no file costs more than about 1.5 s of processor time and
// 150 MB of the reader's resident memory, whatever it holds.
namespace quillmere {

struct MetadataBudget {
    // Besides the claim phase's (kClaimPhaseDataBytes), which the reader adds.
    std::uint64_t memoryBytes = 0;
    std::chrono::milliseconds processorTime{0};
};

// A base for a file with no metadata to speak of, and so much a byte, up to a cap.
inline constexpr std::uint64_t kMetadataBaseMemory = std::uint64_t{16} << 20;
inline constexpr std::uint64_t kMetadataMemoryPerByte = 48;
inline constexpr std::uint64_t kMetadataMostMemory = std::uint64_t{56} << 20;
inline constexpr std::chrono::milliseconds kMetadataBaseProcessorTime{250};
inline constexpr std::uint64_t kMetadataBytesPerProcessorMillisecond = 1000;
inline constexpr std::chrono::milliseconds kMetadataMostProcessorTime{1500};

MetadataBudget metadataBudget(std::uint64_t metadataBytes);

}  // namespace quillmere
