#include "reader/jpeg/jpeg_scan_watch.h"

#include <utility>

#include "core/imageio/jpeg/jpeg_error_handling.h"
#include "reader/jpeg/jpeg_scans.h"

namespace quillmere::jpeg_scans {

void ScanWatch::watch(jpeg_decompress_struct& info, std::vector<std::uint64_t> countedBlocks) {
    countedBlocks_ = std::move(countedBlocks);
    checkedScan_ = 0;
    progress_ = {};
    progress_.progress_monitor = checkScan;
    info.progress = &progress_;
    info.client_data = this;
}

void ScanWatch::checkScan(j_common_ptr common) {
    if (!common->is_decompressor) return;
    auto& watch = *static_cast<ScanWatch*>(common->client_data);
    const auto& info = *reinterpret_cast<j_decompress_ptr>(common);
    const int scan = info.input_scan_number;
    if (scan == watch.checkedScan_) return;
    watch.checkedScan_ = scan;
    if (scan < 1 || static_cast<std::size_t>(scan) > watch.countedBlocks_.size() ||
        blocksOfCurrentScan(info) != watch.countedBlocks_[static_cast<std::size_t>(scan) - 1]) {
        jpeg_errors::stop(*common, "Its scan %d is not the scan found in its bytes.", scan);
    }
}

}  // namespace quillmere::jpeg_scans
