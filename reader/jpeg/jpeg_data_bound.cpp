#include "reader/jpeg/jpeg_data_bound.h"

namespace quillmere::jpeg_data_bound {

std::uint64_t blockCount(const jpeg_decompress_struct& info) {
    std::uint64_t blocks = 0;
    for (int component = 0; component < info.num_components; ++component) {
        const jpeg_component_info& coded = info.comp_info[component];
        blocks += std::uint64_t{coded.width_in_blocks} * coded.height_in_blocks;
    }
    return blocks;
}

std::uint64_t codedByteCount(const std::vector<jpeg_scans::Scan>& scans) {
    std::uint64_t bytes = 0;
    for (const jpeg_scans::Scan& scan : scans) bytes += scan.codedBytes;
    return bytes;
}

std::optional<std::string> implausibleSize(const jpeg_decompress_struct& info,
                                           std::uint64_t codedBytes) {
    if (blockCount(info) <= codedBytes * kMaxBlocksPerByte) return std::nullopt;
    return "Its header states " + std::to_string(info.image_width) + " × " +
           std::to_string(info.image_height) + " pixels, more than its " +
           std::to_string(codedBytes) + " bytes of image data can hold.";
}

std::optional<std::string> implausiblePasses(const std::vector<jpeg_scans::Scan>& scans) {
    std::uint64_t blocks = 0;
    for (const jpeg_scans::Scan& scan : scans) blocks += scan.blocks;
    const std::uint64_t codedBytes = codedByteCount(scans);
    if (blocks <= codedBytes * kMaxScanBlocksPerByte) return std::nullopt;
    return "Its " + std::to_string(scans.size()) + " scans go over " + std::to_string(blocks) +
           " blocks in all, more than its " + std::to_string(codedBytes) +
           " bytes of image data pay for.";
}

}  // namespace quillmere::jpeg_data_bound
