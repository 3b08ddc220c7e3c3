#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "rawbridge/inset_crop.h"
#include "rawbridge/libraw_instance.h"
#include "rawbridge/packed_plane.h"
#include "rawbridge/sensor_metadata.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere::rawbridge {
namespace {

using fixtures::SensorRect;
using fixtures::SyntheticDNGOptions;
using testing::developOriginal;
using testing::TemporaryFolder;
using testing::testData;

SyntheticDNGOptions greyCard() {
    // Half the range in green under the as-shot neutral (0.5, 1, 0.75): a neutral grey.
    SyntheticDNGOptions options;
    options.width = 64;
    options.height = 48;
    options.blackLevels = {1000};
    options.whiteLevel = 15000;
    options.iso = 200;
    options.scene = fixtures::flatScene(0.25f, 0.5f, 0.375f);
    return options;
}

TEST(FullDevelopment, DevelopsWithTheCameraWhiteBalanceIntoLinearSRGBBottomRowFirst) {
    const TemporaryFolder folder;
    const auto grey = developOriginal(folder.dng("grey.dng", greyCard()));
    ASSERT_EQ(grey.result, 0) << grey.error;
    EXPECT_EQ((std::array{grey.width, grey.height}), (std::array{64, 48}));
    EXPECT_EQ(grey.iso, 200.0f);
    for (const auto& [x, row] : {std::pair{5, 5}, std::pair{32, 24}, std::pair{58, 40}}) {
        for (int channel = 0; channel < 4; ++channel) {
            EXPECT_NEAR(grey.at(x, row, channel), channel == 3 ? 1.0f : 0.5f, 0.01f);
        }
    }

    SyntheticDNGOptions ramp = greyCard();
    ramp.scene = [](int, int y) {
        const float level = 0.05f + 0.01f * static_cast<float>(y);
        return std::array<float, 3>{level * 0.5f, level, level * 0.75f};
    };
    const auto upright = developOriginal(folder.dng("ramp.dng", ramp));
    ASSERT_EQ(upright.result, 0) << upright.error;
    EXPECT_GT(upright.at(30, 2, 1), upright.at(30, 45, 1));  // the sensor's last rows come first
}

TEST(FullDevelopment, CropsARealFileToTheDefaultCropThatRawIdentifyReports) {
    // raw-identify -v: "Raw inset, width x height: 3456 x 2304". The file's image data was
    // stripped, so the crop is taken on an opened instance, never unpacked: LibRaw would unpack it
    // into memory it never wrote.
    LibRawInstance raw = newLibRawInstance();
    ASSERT_EQ(raw->open_file(testData("exiftool_DNG.dng").c_str()), 0);
    ASSERT_TRUE(adjustToRawInsetCrop(*raw, 0.55f));
    EXPECT_EQ(raw->imgdata.sizes.width, 3456);
    EXPECT_EQ(raw->imgdata.sizes.height, 2304);
}

}  // namespace
}  // namespace quillmere::rawbridge
