#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace quillmere::jpeg_scans {

// libjpeg calls its progress monitor before it decodes each part of a scan: each scan it starts
// must be one counted in the bytes beforehand, going over the blocks counted for it, or decoding
// stops there. So what the counts bound is what libjpeg does, even where libjpeg would read the
// file otherwise than the counting did.
class ScanWatch {
  public:
    ScanWatch() = default;
    ScanWatch(const ScanWatch&) = delete;
    ScanWatch& operator=(const ScanWatch&) = delete;

    // Watches the scans `info` decodes: the i-th must go over countedBlocks[i] blocks. Called
    // after `info` was created (which clears its monitor) and its error manager installed; takes
    // its client data.
    void watch(jpeg_decompress_struct& info, std::vector<std::uint64_t> countedBlocks);

  private:
    static void checkScan(j_common_ptr info);

    jpeg_progress_mgr progress_{};
    std::vector<std::uint64_t> countedBlocks_;
    int checkedScan_ = 0;
};

}  // namespace quillmere::jpeg_scans
