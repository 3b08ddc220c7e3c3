#include "rawbridge/raw_claims.h"

#include <algorithm>
#include <cmath>

#include "rawbridge/libraw_instance.h"

namespace quillmere::rawbridge {
namespace {

// A file that states a size LibRaw cannot stretch by claims the most pixels, which no budget
// holds.
std::uint64_t wholePixels(double pixels) {
    constexpr double kMost = 18446744073709549568.0;  // the largest double below 2^64
    return std::isfinite(pixels) && pixels < kMost ? static_cast<std::uint64_t>(std::ceil(pixels))
                                                   : UINT64_MAX;
}

}  // namespace

double developedPixels(const LibRaw& raw) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const double aspect = sizes.pixel_aspect;
    const double stretch = aspect >= 1.0 ? aspect : aspect > 0.0 ? 1.0 / aspect : NAN;
    return std::isfinite(stretch) ? static_cast<double>(sizes.width) * sizes.height * stretch : NAN;
}

RAWClaims claimsOf(LibRaw& raw) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const bool mosaic = raw.imgdata.idata.filters != 0;
    RAWClaims claims;
    claims.width = sizes.width;
    claims.height = sizes.height;
    // LibRaw's unpacking widens its buffer to hold the visible area past the margins.
    claims.storedSites =
        std::uint64_t{std::max<unsigned>(sizes.raw_width, sizes.left_margin + sizes.width)} *
        std::max<unsigned>(sizes.raw_height, sizes.top_margin + sizes.height);
    claims.samplesPerSite =
        mosaic ? 1 : static_cast<std::uint32_t>(std::max(raw.imgdata.idata.colors, 1));
    claims.bayer = isThreeColourBayer(raw);
    const double full = developedPixels(raw);
    claims.developedPixels = wholePixels(full);
    // Half size keeps one pixel of each 2 × 2 block of a mosaic, rounded up at an odd edge.
    const double halved = static_cast<double>((sizes.width + 1) / 2) * ((sizes.height + 1) / 2) *
                          (full / (static_cast<double>(sizes.width) * sizes.height));
    claims.halfDevelopedPixels =
        mosaic ? wholePixels(sizes.width == 0 || sizes.height == 0 ? 0.0 : halved)
               : claims.developedPixels;
    return claims;
}

RAWClaims readRAWClaims(const char* path) { return claimsOf(*openFile(path)); }

}  // namespace quillmere::rawbridge
