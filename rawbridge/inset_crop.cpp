#include "rawbridge/inset_crop.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillmere::rawbridge {
namespace {

constexpr unsigned kUnknownInsetEdge = 0xffff;
constexpr unsigned kNoColourFilter = 0;
constexpr unsigned kLeafFilter = 1;  // LibRaw applies the margins to Leaf's table itself
constexpr unsigned kXTransFilter = 9;
constexpr int kXTransSize = 6;

int positiveModulo(int value, int modulus) { return ((value % modulus) + modulus) % modulus; }

// The packed two-bit colour codes of 8 rows × 2 columns, as LibRaw's FC reads them, seen from a
// visible origin moved by (dx, dy).
unsigned shiftedBayerFilters(unsigned filters, int dx, int dy) {
    unsigned shifted = 0;
    for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 2; ++col) {
            const int fromRow = positiveModulo(row + dy, 8);
            const int fromCol = positiveModulo(col + dx, 2);
            const unsigned colour = filters >> (((fromRow << 1) | fromCol) << 1) & 3u;
            shifted |= colour << (((row << 1) | col) << 1);
        }
    }
    return shifted;
}

void shiftXTrans(char (&pattern)[kXTransSize][kXTransSize], int dx, int dy) {
    char original[kXTransSize][kXTransSize];
    std::memcpy(original, pattern, sizeof original);
    for (int row = 0; row < kXTransSize; ++row) {
        for (int col = 0; col < kXTransSize; ++col) {
            pattern[row][col] = original[positiveModulo(row + dy, kXTransSize)]
                                        [positiveModulo(col + dx, kXTransSize)];
        }
    }
}

void shiftColourFilter(libraw_iparams_t& idata, int dx, int dy) {
    if (idata.filters == kXTransFilter) {
        shiftXTrans(idata.xtrans, dx, dy);
    } else if (idata.filters != kNoColourFilter && idata.filters != kLeafFilter) {
        idata.filters = shiftedBayerFilters(idata.filters, dx, dy);
    }
}

void shiftBlackPattern(libraw_colordata_t& color, int dx, int dy) {
    const unsigned rows = color.cblack[4];
    const unsigned columns = color.cblack[5];
    if (rows == 0 || columns == 0 ||
        6 + std::uint64_t{rows} * columns > static_cast<std::uint64_t>(LIBRAW_CBLACK_SIZE)) {
        return;
    }
    unsigned* pattern = color.cblack + 6;
    const std::vector<unsigned> original(pattern, pattern + rows * columns);
    for (unsigned row = 0; row < rows; ++row) {
        for (unsigned col = 0; col < columns; ++col) {
            pattern[row * columns + col] =
                original[static_cast<unsigned>(positiveModulo(static_cast<int>(row) + dy,
                                                              static_cast<int>(rows))) *
                             columns +
                         static_cast<unsigned>(
                             positiveModulo(static_cast<int>(col) + dx, static_cast<int>(columns)))];
        }
    }
}

}  // namespace

bool adjustToRawInsetCrop(LibRaw& raw, float minimumFraction) {
    libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    const libraw_raw_inset_crop_t crop = sizes.raw_inset_crop;
    const int minimumWidth = static_cast<int>(static_cast<float>(sizes.width) * minimumFraction);
    const int minimumHeight = static_cast<int>(static_cast<float>(sizes.height) * minimumFraction);
    if (crop.cleft >= kUnknownInsetEdge || crop.ctop >= kUnknownInsetEdge ||
        crop.cleft + crop.cwidth > sizes.raw_width || crop.ctop + crop.cheight > sizes.raw_height ||
        crop.cwidth < minimumWidth || crop.cheight < minimumHeight) {
        return false;
    }
    const int dx = static_cast<int>(crop.cleft) - static_cast<int>(sizes.left_margin);
    const int dy = static_cast<int>(crop.ctop) - static_cast<int>(sizes.top_margin);
    for (libraw_image_sizes_t* copy : {&sizes, &raw.imgdata.rawdata.sizes}) {
        copy->left_margin = crop.cleft;
        copy->top_margin = crop.ctop;
        copy->width = static_cast<ushort>(std::min<int>(crop.cwidth, sizes.raw_width - crop.cleft));
        copy->height =
            static_cast<ushort>(std::min<int>(crop.cheight, sizes.raw_height - crop.ctop));
    }
    shiftColourFilter(raw.imgdata.idata, dx, dy);
    shiftColourFilter(raw.imgdata.rawdata.iparams, dx, dy);
    shiftBlackPattern(raw.imgdata.color, dx, dy);
    shiftBlackPattern(raw.imgdata.rawdata.color, dx, dy);
    return true;
}

}  // namespace quillmere::rawbridge
