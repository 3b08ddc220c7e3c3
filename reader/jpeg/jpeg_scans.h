#pragma once

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include <jpeglib.h>

// The scans of a JPEG as libjpeg will read them, found in the file's bytes before libjpeg decodes
// any: what each costs the decoder (the blocks it goes over) and what each holds (its coded bytes).
namespace quillmere::jpeg_scans {

// Far beyond the ten or so scans of any real progressive JPEG.
inline constexpr std::size_t kMaxScanCount = 1000;

struct Scan {
    // The 8 × 8 blocks libjpeg goes over: its component's blocks in a scan of one component; in an
    // interleaved scan, every block of every MCU, with those that pad the MCUs at the right and
    // bottom edges.
    std::uint64_t blocks = 0;
    // Its entropy-coded bytes. The zero stuffed after each 0xFF, restart markers, and whatever
    // follows a restart marker the scan's restart interval does not call for (libjpeg skips it)
    // code no block.
    std::uint64_t codedBytes = 0;
};

// The scans libjpeg will read from `jpeg`, whose header up to its first scan libjpeg read into
// `frame`: every scan up to the end of the image in a progressive file or one whose first scan
// leaves out a component, only the first in any other (libjpeg reads no further). Throws
// ImageIOError (corruptImage) for a scan header libjpeg would refuse or more than kMaxScanCount
// scans.
std::vector<Scan> readScans(std::string_view jpeg, const jpeg_decompress_struct& frame);

// The blocks libjpeg goes over in the scan it is about to decode, as it set the scan up.
std::uint64_t blocksOfCurrentScan(const jpeg_decompress_struct& info);

}  // namespace quillmere::jpeg_scans
