#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include <jpeglib.h>

// libjpeg sizes its buffers from a file's header alone, so a file of a few kilobytes can make it
// allocate gigabytes for a picture it does not hold. What the file's coded data can hold bounds
// what it may promise.
namespace quillmere::jpeg_data_bound {

// Every 8 × 8 block of every component costs a Huffman-coded scan at least one bit: a sequential
// scan codes each block's DC difference and its end of block, a progressive file's first DC scan
// the DC difference. An arithmetic-coded scan may code a flat picture of any size in a few bytes,
// which nothing bounds; it is held to the same bit a block.
inline constexpr std::uint64_t kMaxBlocksPerByte = 8;
// libjpeg keeps every coefficient of a progressive or multi-scan file: 64 of 16 bits a block.
inline constexpr std::uint64_t kCoefficientBytesPerBlock = 128;

// The bytes of coded data in `jpeg`: every scan's entropy-coded bytes up to the end of the image,
// without the marker segments around them (EXIF, ICC profile, comments, embedded previews), the
// restart markers within them or the zero byte stuffed after each 0xFF, none of which code a
// block.
std::uint64_t codedByteCount(std::string_view jpeg);

// The 8 × 8 blocks of all components that the header read into `info` promises.
std::uint64_t blockCount(const jpeg_decompress_struct& info);

// A sentence saying that the header read into `info` promises more blocks than `codedBytes` of
// coded data can hold; nothing when it does not.
std::optional<std::string> implausibleSize(const jpeg_decompress_struct& info,
                                           std::uint64_t codedBytes);

}  // namespace quillmere::jpeg_data_bound
