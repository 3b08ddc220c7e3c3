#pragma once

#include <libraw/libraw.h>

#include <cstdint>

namespace quillmere::rawbridge {

// What a RAW file states about itself once LibRaw has read its header, before anything of it is
// unpacked: what reading it will hold and make, from which the photo reader works out what a
// reading of the file may take.
struct RAWClaims {
    // The visible area, in sensor samples.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    // The sites LibRaw's unpacking stores, margins included (at least the visible area shifted by
    // its margins), and the samples each holds: 1 for a colour-filter mosaic, the colour count
    // for full-colour pixels.
    std::uint64_t storedSites = 0;
    std::uint32_t samplesPerSite = 1;
    // Whether the sensor read takes the file (isThreeColourBayer): a three-colour Bayer mosaic of
    // square samples.
    bool bayer = false;
    // The pixels LibRaw's development makes at full and at half size (developedPixels).
    std::uint64_t developedPixels = 0;
    std::uint64_t halfDevelopedPixels = 0;
};

// The pixels LibRaw's full development of an opened file makes: its visible area (for a rotated
// SuperCCD sensor the canvas it is rotated into), stretched by the pixel aspect into square
// pixels. Not a number for an aspect LibRaw could not stretch by (LibRaw 0.20 itself takes a zero,
// negative or undefined DefaultScale as square); whoever bounds a development refuses that.
double developedPixels(const LibRaw& raw);

// The claims of an opened file. A development at half size makes each 2 × 2 block of a mosaic
// one pixel; full-colour pixels are developed at their own size either way.
RAWClaims claimsOf(LibRaw& raw);

// Opens the file at `path` as every bridge call begins (openFile: it fails as that does, on a file
// whose bytes cannot hold the samples it states or whose colour filter no development describes)
// and reads its claims, unpacking nothing.
RAWClaims readRAWClaims(const char* path);

}  // namespace quillmere::rawbridge
