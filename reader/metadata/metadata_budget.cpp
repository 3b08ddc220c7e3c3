#include "reader/metadata/metadata_budget.h"

#include <algorithm>

namespace quillmere {

MetadataBudget metadataBudget(std::uint64_t metadataBytes) {
    // Neither product can overflow below the caps: a larger count is capped first.
    const std::uint64_t bytes = std::min<std::uint64_t>(metadataBytes, kMetadataMostMemory);
    const std::uint64_t memory = kMetadataBaseMemory + kMetadataMemoryPerByte * bytes;
    const std::chrono::milliseconds time =
        kMetadataBaseProcessorTime +
        std::chrono::milliseconds(bytes / kMetadataBytesPerProcessorMillisecond);
    return {std::min(memory, kMetadataMostMemory), std::min(time, kMetadataMostProcessorTime)};
}

}  // namespace quillmere
