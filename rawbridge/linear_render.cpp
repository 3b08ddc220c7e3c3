#include "rawbridge/linear_render.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "rawbridge/half_float.h"
#include "rawbridge/libraw_instance.h"
#include "rawbridge/packed_plane.h"
#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {
namespace {

constexpr int kTransposed = 4;
constexpr int kRowsMirrored = 2;
constexpr int kColumnsMirrored = 1;
constexpr int kAHDDemosaic = 3;
// Output rows per task of the conversion.
constexpr int kOutputRowsPerTask = 16;

// Demosaicing only: no scaling, white balance, colour conversion, rotation, brightening or noise
// reduction, so the image keeps black-subtracted sensor counts in camera colour.
void configureDemosaicOnly(libraw_output_params_t& params) {
    params.output_color = 0;
    params.no_auto_scale = 1;
    params.no_auto_bright = 1;
    params.adjust_maximum_thr = 0.0f;
    params.user_flip = 0;
    params.user_qual = kAHDDemosaic;
    params.gamm[0] = 1.0;
    params.gamm[1] = 1.0;
    params.bright = 1.0f;
    params.threshold = 0.0f;
    params.highlight = 0;
    params.use_auto_wb = 0;
    params.use_camera_wb = 0;
    params.use_camera_matrix = 0;
    params.med_passes = 0;
    params.green_matching = 0;
    params.fbdd_noiserd = 0;
    params.exp_correc = 0;
}

bool sameGeometry(const QXRAWMetadata& a, const QXRAWMetadata& b) {
    return a.width == b.width && a.height == b.height && a.packed_width == b.packed_width &&
           a.packed_height == b.packed_height && a.crop_x == b.crop_x && a.crop_y == b.crop_y &&
           a.crop_width == b.crop_width && a.crop_height == b.crop_height &&
           a.output_width == b.output_width && a.output_height == b.output_height &&
           a.orientation == b.orientation && std::equal(a.cfa_x, a.cfa_x + 4, b.cfa_x) &&
           std::equal(a.cfa_y, a.cfa_y + 4, b.cfa_y);
}

}  // namespace

void requireSameGeometry(const QXRAWMetadata& file, const QXRAWMetadata& caller) {
    if (!sameGeometry(file, caller)) fail("RAW geometry changed since decoding.");
}

std::array<float, 4> whiteBalanceMultipliers(const libraw_colordata_t& color,
                                             const int colours[4]) {
    std::array<float, 4> multipliers;
    for (int channel = 0; channel < 4; ++channel) {
        multipliers[channel] = whiteBalanceMultiplier(color, colours[channel]);
    }
    return multipliers;
}

ImagePosition sourcePosition(const QXRAWMetadata& metadata, int ox, int oy) {
    const int o = metadata.orientation;
    const int u = (o & kTransposed) != 0 ? oy : ox;
    const int v = (o & kTransposed) != 0 ? ox : oy;
    return ImagePosition{
        metadata.crop_x + ((o & kColumnsMirrored) != 0 ? metadata.crop_width - 1 - u : u),
        metadata.crop_y + ((o & kRowsMirrored) != 0 ? metadata.crop_height - 1 - v : v)};
}

DevelopmentColour developmentColour(LibRaw& raw, const QXRAWMetadata& caller) {
    int colours[4];
    channelColours(raw, caller, colours);
    const std::array<float, 4> multipliers = whiteBalanceMultipliers(raw.imgdata.color, colours);
    const float smallest = *std::min_element(multipliers.begin(), multipliers.end());
    // A white-balanced 1.0 is the white level of the channel with the smallest multiplier; the
    // other channels may pass 1.
    const float* black = caller.black;
    const float* white = caller.white;
    DevelopmentColour colour;
    colour.scales = {
        (multipliers[kRed] / smallest) / (white[kRed] - black[kRed]),
        ((multipliers[kGreen1] + multipliers[kGreen2]) * 0.5f / smallest) /
            ((white[kGreen1] - black[kGreen1] + white[kGreen2] - black[kGreen2]) * 0.5f),
        (multipliers[kBlue] / smallest) / (white[kBlue] - black[kBlue])};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            colour.cameraToRGB[row][col] = raw.imgdata.color.rgb_cam[row][col];
        }
    }
    return colour;
}

void demosaic(LibRaw& raw, const QXRAWMetadata& caller) {
    configureDemosaicOnly(raw.imgdata.params);
    check(raw.dcraw_process(), "Linear RAW demosaicing");
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    if (raw.imgdata.image == nullptr || sizes.iwidth != sizes.width ||
        sizes.iheight != sizes.height || caller.crop_x + caller.crop_width > sizes.iwidth ||
        caller.crop_y + caller.crop_height > sizes.iheight) {
        fail("Unexpected LibRaw camera RGB geometry.");
    }
}

// Converts output row oy, pixel by pixel in runs: the demosaiced pixels gathered (their
// positions follow the crop and orientation), then white balance, highlights and the
// camera-to-RGB matrix in loops that vectorise. Flattened, with an AVX2 clone where the
// processor has it (single IEEE operations in both, so both give the same bits). Clang, which
// builds the fuzz targets, cannot clone a flattened function and keeps the one version.
#if defined(__clang__)
[[gnu::flatten]] void convertRow(
#else
[[gnu::flatten]] __attribute__((target_clones("avx2", "default"))) void convertRow(
#endif
    const LibRaw& raw, const QXRAWMetadata& caller, const DevelopmentColour& colour, int oy,
    std::uint16_t* out) {
    constexpr int kRun = 256;
    const std::size_t imageWidth = raw.imgdata.sizes.iwidth;
    std::array<float, kRun> red, green, blue;
    for (int start = 0; start < caller.output_width; start += kRun) {
        const int n = std::min(kRun, caller.output_width - start);
        for (int i = 0; i < n; ++i) {
            const ImagePosition source = sourcePosition(caller, start + i, oy);
            const std::uint16_t* pixel =
                raw.imgdata.image[static_cast<std::size_t>(source.row) * imageWidth +
                                  static_cast<std::size_t>(source.column)];
            red[i] = static_cast<float>(pixel[0]);
            green[i] = static_cast<float>(pixel[1]);
            blue[i] = static_cast<float>(pixel[2]);
        }
        const auto& m = colour.cameraToRGB;
        for (int i = 0; i < n; ++i) {
            std::array<float, 3> c = {colour.scales[0] * red[i], colour.scales[1] * green[i],
                                      colour.scales[2] * blue[i]};
            treatHighlights(c);
            std::uint16_t* texel = out + static_cast<std::size_t>(start + i) * 4;
            texel[0] = halfFromFloat(m[0][0] * c[0] + m[0][1] * c[1] + m[0][2] * c[2]);
            texel[1] = halfFromFloat(m[1][0] * c[0] + m[1][1] * c[1] + m[1][2] * c[2]);
            texel[2] = halfFromFloat(m[2][0] * c[0] + m[2][1] * c[1] + m[2][2] * c[2]);
            texel[3] = kHalfOne;
        }
    }
}

void convertDemosaiced(const LibRaw& raw, const QXRAWMetadata& caller,
                       const DevelopmentColour& colour, std::uint16_t* rgba) {
    const std::size_t outputWidth = static_cast<std::size_t>(caller.output_width);
    tbb::parallel_for(tbb::blocked_range<int>(0, caller.output_height, kOutputRowsPerTask),
                      [&](const tbb::blocked_range<int>& rows) {
                          for (int oy = rows.begin(); oy != rows.end(); ++oy) {
                              convertRow(raw, caller, colour, oy,
                                         rgba + static_cast<std::size_t>(caller.output_height - 1 -
                                                                         oy) *
                                                    outputWidth * 4);
                          }
                      });
}

MallocBuffer<std::uint16_t> renderLinear(LibRaw& raw, const QXRAWMetadata& caller,
                                         const float* packed) {
    requireSameGeometry(metadataFor(raw), caller);
    writePackedPlane(raw, caller, packed);
    const DevelopmentColour colour = developmentColour(raw, caller);
    demosaic(raw, caller);
    MallocBuffer<std::uint16_t> rgba = allocateBuffer<std::uint16_t>(
        static_cast<std::uint64_t>(caller.output_width) * caller.output_height, 4,
        "Cannot allocate linear RAW texture.");
    convertDemosaiced(raw, caller, colour, rgba.get());
    return rgba;
}

}  // namespace quillmere::rawbridge
