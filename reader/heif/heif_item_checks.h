#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "reader/heif/heif_items.h"

namespace quillmere::heif {

// What a HEIF file's items say about the decoding of its primary image, worked out before libheif
// decodes anything. libheif sizes its buffers from the coded pictures and the grid and overlay
// canvases, not from the sizes the items state, and decodes a picture again for every place it is
// used: an item stating 24 × 16 over a 13312 × 14848 picture, or one small tile named in every
// place of a large grid, would make it decode gigabytes. The items it decodes for the primary
// image (the image, the grid tiles, overlay inputs and alpha channels it is made from) are checked
// here; items it does not decode (thumbnails, a size no item uses) say nothing but their data.
struct HeifItemChecks {
    // The longest side those items state in their 'ispe' property, for libheif's size limit.
    std::uint64_t longestStatedSide = 0;
    // What making the primary image costs: the coded pictures libheif decodes and the pixels of
    // every picture and canvas it makes, each counted every time it is made, and the bytes of
    // coded data its decoders decode.
    std::uint64_t pictures = 0;
    std::uint64_t madePixels = 0;
    std::uint64_t codedBytes = 0;
    // Why libheif must not be given the file, as a sentence; nothing when it may.
    std::optional<std::string> fault;
};

// The most pixels the primary image's pictures and canvases may come to, each counted every time
// it is made, for each byte of coded data the decoder is given. The flattest real photos make
// about 500 pixels a byte of file; a picture repeated over a canvas makes hundreds of thousands.
inline constexpr std::uint64_t kMadePixelsPerCodedByte = 2048;

// The most levels of images derived from images (an overlay of a grid of tiles, each with an
// alpha channel, is three) a photo's primary image may be made through.
inline constexpr std::uint64_t kMaxDerivationDepth = 8;

// Refuses (a fault) an image or an input that states no size, a side of zero or more pixels than a
// photo may have; a coded picture (as its HEVC parameter sets or AV1 sequence headers declare it)
// or a canvas larger than its item states, or one that cannot be measured; an image drawn from
// itself or from an item that is not an image; a picture predicted from another (libheif 1.15
// decodes it as if it stood alone) or of a kind the program does not decode; images derived more
// than kMaxDerivationDepth levels deep; and pictures and canvases (an identity-derived image makes
// one too) adding up to more than kMadePixelsPerCodedByte a byte of coded data: the bytes of the
// HEVC slice segments and AV1 tiles the decoder decodes (hevc_picture_size::codedSliceBytes,
// av1_picture_size::codedTileBytes), not parameter sets, metadata, padding or units it drops. What
// their data cost libheif to read is bounded when `items` are read.
HeifItemChecks checkHeifItems(const Items& items);

}  // namespace quillmere::heif
