#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "rawbridge/libraw_instance.h"
#include "rawbridge/packed_plane.h"
#include "rawbridge/sensor_metadata.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SensorRect;
using fixtures::SyntheticDNGOptions;
using testing::TemporaryFolder;

SyntheticDNGOptions colourField() {
    SyntheticDNGOptions options;
    options.width = 70;
    options.height = 52;
    options.blackLevels = {256};
    options.whiteLevel = 16383;
    options.scene = fixtures::flatScene(0.8f, 0.4f, 0.2f);
    return options;
}

std::uint16_t& rawSample(LibRaw& raw, int row, int col) {
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    return raw.imgdata.rawdata
        .raw_image[(static_cast<std::size_t>(row) + sizes.top_margin) * (sizes.raw_pitch / 2) +
                   col + sizes.left_margin];
}

TEST(SensorGeometry, TakesTheInsetCropInVisibleCoordinatesAndFlipsAsCodes) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options = colourField();
    options.width = 128;
    options.height = 96;
    options.activeArea = SensorRect{4, 2, 121, 90};  // 121 visible columns: 120 even ones
    LibRawInstance raw = unpack(folder.dng("crop.dng", options).c_str());
    libraw_raw_inset_crop_t& inset = raw->imgdata.sizes.raw_inset_crop;
    const auto cropWith = [&](unsigned left, unsigned top, unsigned width, unsigned height) {
        inset.cleft = static_cast<ushort>(left);
        inset.ctop = static_cast<ushort>(top);
        inset.cwidth = static_cast<ushort>(width);
        inset.cheight = static_cast<ushort>(height);
        const QXRAWMetadata m = metadataFor(*raw);
        return std::array<int, 6>{m.crop_x,      m.crop_y,       m.crop_width,
                                  m.crop_height, m.output_width, m.output_height};
    };
    using Crop = std::array<int, 6>;
    const Crop whole = {0, 0, 120, 90, 120, 90};
    EXPECT_EQ(cropWith(4 + 6, 2 + 4, 100, 80), (Crop{6, 4, 100, 80, 100, 80}));
    EXPECT_EQ(cropWith(4 + 20, 2, 100, 90), (Crop{20, 0, 100, 90, 100, 90}));  // to the even edge
    EXPECT_EQ(cropWith(4 + 21, 2, 100, 90), whole);  // into the odd last column
    EXPECT_EQ(cropWith(4, 2 + 1, 100, 90), whole);   // below the last row
    EXPECT_EQ(cropWith(2, 2, 100, 80), whole);       // into the margin
    EXPECT_EQ(cropWith(0xffff, 2, 100, 80), whole);  // unknown left edge
    EXPECT_EQ(cropWith(4, 0xffff, 100, 80), whole);  // unknown top edge
    EXPECT_EQ(cropWith(4, 2, 0, 80), whole);
    EXPECT_EQ(cropWith(4, 2, 100, 0), whole);

    // Some formats give the flip in degrees; it becomes LibRaw's code as in LibRaw's processing.
    for (const auto& [flip, code] : {std::pair{6, 6}, std::pair{90, 6}, std::pair{180, 3},
                                     std::pair{270, 5}, std::pair{-90, 5}}) {
        raw->imgdata.sizes.flip = flip;
        const bool transposed = (code & 4) != 0;
        EXPECT_EQ(metadataFor(*raw).orientation, code) << flip;
        EXPECT_EQ(cropWith(4 + 6, 2 + 4, 100, 80),
                  (Crop{6, 4, 100, 80, transposed ? 80 : 100, transposed ? 100 : 80}));
    }
}

TEST(SensorGeometry, AQuadNeedsARedABlueAndAGreenInEachRow) {
    const TemporaryFolder folder;
    LibRawInstance raw = unpack(folder.dng("quad.dng", colourField()).c_str());
    // R B / G G: both greens in one row. R G / G G: no blue.
    for (unsigned quad : {0x58u, 0x54u}) {
        raw->imgdata.idata.filters = quad * 0x01010101u;
        EXPECT_TRUE(isThreeColourBayer(*raw));
        try {
            metadataFor(*raw);
            ADD_FAILURE() << quad;
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "Unsupported CFA layout.") << quad;
        }
    }
}

TEST(SensorGeometry, WritingBackIsTheInverseOfReading) {
    const TemporaryFolder folder;
    SyntheticDNGOptions options;
    options.width = 65;  // the last column is not in the plane
    options.height = 48;
    options.blackLevels = {500, 600, 700, 800};
    options.blackRepeatRows = 2;
    options.blackRepeatColumns = 2;
    options.whiteLevel = 10000;
    options.scene = fixtures::gradientScene(65, 48);
    options.shotNoise = 1e-3;
    options.readNoiseVariance = 1e-5;
    LibRawInstance raw = unpack(folder.dng("writeback.dng", options).c_str());
    const QXRAWMetadata metadata = metadataFor(*raw);
    std::vector<float> plane(32 * 24 * 4);
    readPackedPlane(*raw, metadata, plane.data());
    const std::vector<std::uint16_t> before(raw->imgdata.rawdata.raw_image,
                                            raw->imgdata.rawdata.raw_image + 65 * 48);

    // Values that were not clamped come back as the same counts.
    writePackedPlane(*raw, metadata, plane.data());
    for (int row = 0; row < 48; ++row) {
        for (int col = 0; col < 65; ++col) {
            const std::uint16_t original = before[static_cast<std::size_t>(row) * 65 + col];
            if (original > 800 && original < 10000) {
                ASSERT_EQ(rawSample(*raw, row, col), original) << row << ", " << col;
            }
        }
    }

    // Beyond 1 writes the white level, below 0 the sample's own black level; the column outside
    // the plane keeps its counts.
    const float blacks[2][2] = {{500, 600}, {700, 800}};
    for (const auto& [value, toWhite] : {std::pair{1.5f, true}, std::pair{-0.5f, false}}) {
        std::fill(plane.begin(), plane.end(), value);
        writePackedPlane(*raw, metadata, plane.data());
        for (int row = 0; row < 48; ++row) {
            for (int col = 0; col < 64; ++col) {
                ASSERT_EQ(rawSample(*raw, row, col), toWhite ? 10000 : blacks[row % 2][col % 2]);
            }
            ASSERT_EQ(rawSample(*raw, row, 64), before[static_cast<std::size_t>(row) * 65 + 64]);
        }
    }
}

}  // namespace
}  // namespace quillmere::rawbridge
