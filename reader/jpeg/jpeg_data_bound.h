#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "reader/jpeg/jpeg_scans.h"

// libjpeg sizes its buffers from a file's header alone, and goes over every block of a picture in
// each scan it reads, so a file of a few kilobytes can make it allocate gigabytes for a picture it
// does not hold, or decode its blocks a thousand times. What the file's coded data can hold bounds
// what it may promise, and how often it may be gone over.
namespace quillmere::jpeg_data_bound {

// Every 8 × 8 block of every component costs a Huffman-coded scan at least one bit: a sequential
// scan codes each block's DC difference and its end of block, a progressive file's first DC scan
// the DC difference. An arithmetic-coded scan may code a flat picture of any size in a few bytes,
// which nothing bounds; it is held to the same bit a block.
inline constexpr std::uint64_t kMaxBlocksPerByte = 8;
// Each scan goes over every block of its components, but only a DC scan must spend a bit on each:
// an AC scan passes over a flat picture's blocks in end-of-band runs of up to 32767 blocks at a few
// bits a run, so a file that repeats its scans makes libjpeg go over its blocks far more often
// than its bytes pay for. Real files stay far inside 16 passes over eight blocks for each byte:
// camera, phone, wallpaper and test JPEGs come to at most 5.5 passes a byte (21 when jpegtran
// makes them progressive), and even pictures so flat that their blocks cost little more than
// their DC bits to 24 with libjpeg's progressive script (six scans of a grey picture), 34 with
// jpgcrush's and mozjpeg's (nine scans of a colour one), 47 with a script of 32 scans. A file that
// repeats scans to keep libjpeg busy comes to a thousand and more.
inline constexpr std::uint64_t kMaxScanBlocksPerByte = 128;
// libjpeg keeps every coefficient of a progressive or multi-scan file: 64 of 16 bits a block.
inline constexpr std::uint64_t kCoefficientBytesPerBlock = 128;

// The 8 × 8 blocks of all components that the header read into `info` promises.
std::uint64_t blockCount(const jpeg_decompress_struct& info);

// The coded bytes of all `scans`.
std::uint64_t codedByteCount(const std::vector<jpeg_scans::Scan>& scans);

// A sentence saying that the header read into `info` promises more blocks than `codedBytes` of
// coded data can hold; nothing when it does not.
std::optional<std::string> implausibleSize(const jpeg_decompress_struct& info,
                                           std::uint64_t codedBytes);

// A sentence saying that `scans` go over more blocks in all than their coded bytes pay for;
// nothing when they do not.
std::optional<std::string> implausiblePasses(const std::vector<jpeg_scans::Scan>& scans);

}  // namespace quillmere::jpeg_data_bound
