#include "rawbridge/sensor_metadata.h"

#include <cstdint>

#include "rawbridge/bridge_call.h"

namespace quillmere::rawbridge {
namespace {

constexpr int kMinimumVisibleSize = 32;
constexpr unsigned kUnknownInsetEdge = 0xffff;
constexpr int kRedColour = 0;
constexpr int kBlueColour = 2;

// LibRaw gives the inset (default) crop in raw-buffer coordinates, margins included; the record's
// crop is in visible coordinates like every other position in it.
void setDefaultCrop(const libraw_image_sizes_t& sizes, QXRAWMetadata& metadata) {
    const libraw_raw_inset_crop_t& inset = sizes.raw_inset_crop;
    metadata.crop_x = 0;
    metadata.crop_y = 0;
    metadata.crop_width = metadata.width;
    metadata.crop_height = metadata.height;
    if (inset.cleft == kUnknownInsetEdge || inset.ctop == kUnknownInsetEdge ||
        inset.cleft < sizes.left_margin || inset.ctop < sizes.top_margin || inset.cwidth == 0 ||
        inset.cheight == 0) {
        return;
    }
    const int x = inset.cleft - sizes.left_margin;
    const int y = inset.ctop - sizes.top_margin;
    if (x + inset.cwidth > metadata.width || y + inset.cheight > metadata.height) return;
    metadata.crop_x = x;
    metadata.crop_y = y;
    metadata.crop_width = inset.cwidth;
    metadata.crop_height = inset.cheight;
}

void setColourFilterLayout(LibRaw& raw, QXRAWMetadata& metadata) {
    int red = -1;
    int blue = -1;
    for (int position = 0; position < 4; ++position) {
        const int colour = raw.COLOR(position >> 1, position & 1);
        if (colour == kRedColour) red = position;
        if (colour == kBlueColour) blue = position;
    }
    if (red < 0 || blue < 0) fail("Unsupported CFA layout.");
    int green1 = -1;
    int green2 = -1;
    for (int position = 0; position < 4; ++position) {
        const int colour = raw.COLOR(position >> 1, position & 1);
        if (colour != 1 && colour != 3) continue;
        ((position >> 1) == (red >> 1) ? green1 : green2) = position;
    }
    // Every channel must own one sample of the quad, or two channels would read the same one.
    if (green1 < 0 || green2 < 0) fail("Unsupported CFA layout.");
    const int positions[4] = {red, green1, blue, green2};
    for (int channel = 0; channel < 4; ++channel) {
        metadata.cfa_x[channel] = positions[channel] & 1;
        metadata.cfa_y[channel] = positions[channel] >> 1;
    }
}

}  // namespace

int flipCode(int flip) {
    switch ((flip + 3600) % 360) {
        case 270: return 5;
        case 180: return 3;
        case 90: return 6;
        default: return flip;
    }
}

BlackLevelMap::BlackLevelMap(const libraw_colordata_t& color) {
    for (int colour = 0; colour < 4; ++colour) {
        base_[colour] = static_cast<float>(color.black + color.cblack[colour]);
    }
    const unsigned rows = color.cblack[4];
    const unsigned columns = color.cblack[5];
    if (rows != 0 && columns != 0 &&
        6 + std::uint64_t{rows} * columns <= static_cast<std::uint64_t>(LIBRAW_CBLACK_SIZE)) {
        pattern_ = color.cblack + 6;
        patternRows_ = rows;
        patternColumns_ = columns;
    }
}

BlackLevelMap::RowWalk BlackLevelMap::walkRow(int colour, int row, int col) const {
    RowWalk walk;
    walk.base_ = base_[colour];
    if (patternRows_ != 0) {
        walk.entries_ = pattern_ + (static_cast<unsigned>(row) % patternRows_) * patternColumns_;
        walk.column_ = static_cast<unsigned>(col) % patternColumns_;
        walk.columns_ = patternColumns_;
    }
    return walk;
}

float colourMultiplier(const float multipliers[4], int colour) {
    return colour == 3 && multipliers[3] == 0.0f ? multipliers[1] : multipliers[colour];
}

float whiteBalanceMultiplier(const libraw_colordata_t& color, int colour) {
    const float asShot = colourMultiplier(color.cam_mul, colour);
    const float daylight = colourMultiplier(color.pre_mul, colour);
    return asShot > 0.0f ? asShot : daylight > 0.0f ? daylight : 1.0f;
}

void channelColours(LibRaw& raw, const QXRAWMetadata& metadata, int colours[4]) {
    for (int channel = 0; channel < 4; ++channel) {
        colours[channel] = raw.COLOR(metadata.cfa_y[channel], metadata.cfa_x[channel]);
    }
}

QXRAWMetadata sensorGeometry(const LibRaw& raw) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    QXRAWMetadata metadata{};
    if (sizes.width < kMinimumVisibleSize || sizes.height < kMinimumVisibleSize) {
        fail("RAW sensor is too small.");
    }
    metadata.width = sizes.width & ~1;
    metadata.height = sizes.height & ~1;
    metadata.packed_width = sizes.width / 2;
    metadata.packed_height = sizes.height / 2;
    metadata.iso = raw.imgdata.other.iso_speed;
    metadata.orientation = flipCode(sizes.flip);
    setDefaultCrop(sizes, metadata);
    const bool transposed = (metadata.orientation & 4) != 0;
    metadata.output_width = transposed ? metadata.crop_height : metadata.crop_width;
    metadata.output_height = transposed ? metadata.crop_width : metadata.crop_height;
    return metadata;
}

QXRAWMetadata metadataFor(LibRaw& raw) {
    QXRAWMetadata metadata = sensorGeometry(raw);
    setColourFilterLayout(raw, metadata);

    const libraw_colordata_t& color = raw.imgdata.color;
    const BlackLevelMap blackLevels(color);
    int colours[4];
    channelColours(raw, metadata, colours);
    for (int channel = 0; channel < 4; ++channel) {
        metadata.black[channel] =
            blackLevels.at(colours[channel], metadata.cfa_y[channel], metadata.cfa_x[channel]);
        metadata.white[channel] = static_cast<float>(color.maximum);
        metadata.camera_white_balance[channel] = colourMultiplier(color.cam_mul, colours[channel]);
        if (metadata.black[channel] + 1.0f >= metadata.white[channel]) {
            fail("Invalid RAW black/white calibration.");
        }
    }
    return metadata;
}

}  // namespace quillmere::rawbridge
