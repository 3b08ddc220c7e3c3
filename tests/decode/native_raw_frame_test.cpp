#include "core/decode/native_raw_frame.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "core/decode/native_raw_error.h"
#include "core/decode/raw_file.h"
#include "tests/decode/decode_test_support.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

using fixtures::CFAPattern;
using fixtures::SensorRect;
using fixtures::SyntheticDNGOptions;
using msl::float4;
using rawbridge::testing::readSensor;
using testing::messageOf;

// Darker at the top of the sensor than at its bottom, different in every channel.
SyntheticDNGOptions verticalRamp(CFAPattern pattern) {
    SyntheticDNGOptions options;
    options.width = 70;
    options.height = 52;
    options.cfaPattern = pattern;
    options.activeArea = SensorRect{3, 5, 66, 45};  // odd margins and an odd visible height
    options.scene = [](int, int y) {
        const float level = 0.2f + 0.005f * static_cast<float>(y);
        return std::array<float, 3>{level, 0.8f * level, 0.6f * level};
    };
    return options;
}

class NativeRAWFrameTest : public ::testing::Test {
  protected:
    std::shared_ptr<Device> device = std::make_shared<Device>();
    rawbridge::testing::TemporaryFolder folder;
};

TEST_F(NativeRAWFrameTest, UploadsTheSensorTopRowFirstForEveryCFAPattern) {
    for (CFAPattern pattern :
         {CFAPattern::RGGB, CFAPattern::BGGR, CFAPattern::GRBG, CFAPattern::GBRG}) {
        const std::string path = folder.dng("ramp.dng", verticalRamp(pattern));
        const auto frame = NativeRAWFrame::open(path, device);
        const Texture& packed = *frame->packedTexture();
        const auto read = readSensor(path);
        ASSERT_EQ(read.result, 0) << read.error;
        testing::expectDecodedTexture(packed, PixelFormat::rgba32Float, read.metadata.packed_width,
                                      read.metadata.packed_height, "Normalized Bayer R G1 B G2",
                                      read.plane.get());
        EXPECT_LT(packed.read(5, 0).x, packed.read(5, packed.height() - 1).x);
        EXPECT_EQ(frame->noiseProfile().readVariance,
                  std::to_array(read.metadata.noise_read_variance));
    }
}

TEST_F(NativeRAWFrameTest, RefusesAnIncompatibleTextureBeforeReadingTheFile) {
    const std::string path = folder.dng("ramp.dng", verticalRamp(CFAPattern::RGGB));
    const auto frame = NativeRAWFrame::open(path, device);
    std::filesystem::remove(path);  // the file is only read for a texture that fits
    const int width = frame->metadata().packedWidth();
    const int height = frame->metadata().packedHeight();
    const auto make = [&](PixelFormat format, int w, int h, StorageMode storage) {
        return device->makeTexture(
            {format, w, h, TextureUsage::shaderRead | TextureUsage::shaderWrite, storage});
    };
    const StorageMode shared = StorageMode::shared;
    for (const auto& texture :
         {make(PixelFormat::rgba32Float, width - 1, height, shared),
          make(PixelFormat::rgba32Float, width, height, StorageMode::devicePrivate),
          make(PixelFormat::r32Float, width, height, shared)}) {
        EXPECT_EQ(messageOf<NativeRAWError>([&] { frame->renderLinearRGB(*texture); }),
                  "The denoised sensor texture has an incompatible size or format.");
    }
    EXPECT_EQ(messageOf<NativeRAWError>([&] { frame->renderLinearRGB(); }),
              "ramp.dng cannot be read.");
}

TEST_F(NativeRAWFrameTest, ReportsDevelopmentFailuresInTheBridgesWords) {
    const std::string path = folder.dng("ramp.dng", verticalRamp(CFAPattern::BGGR));
    const auto frame = NativeRAWFrame::open(path, device);
    const Texture& own = *frame->packedTexture();
    for (PixelFormat format : {PixelFormat::rgba32Float, PixelFormat::rgba16Float}) {
        // The frame's own sensor texture with one infinite green sample.
        const auto broken =
            testing::makeTexture(*device, format, own.width(), own.height(), [&](int x, int y) {
                float4 texel = own.read(x, y);
                if (x == 7 && y == 3) texel.y = std::numeric_limits<float>::infinity();
                return texel;
            });
        EXPECT_EQ(messageOf<NativeRAWError>([&] { frame->renderLinearRGB(*broken); }),
                  "The neural model returned a non-finite sensor value.");
    }

    SyntheticDNGOptions wider = verticalRamp(CFAPattern::BGGR);
    wider.activeArea.reset();
    folder.dng("ramp.dng", wider);
    EXPECT_EQ(messageOf<NativeRAWError>([&] { frame->renderLinearRGB(); }),
              "RAW geometry changed since decoding.");
}

// A frame made from a RAW file the filter has read holds and develops what a frame read from the
// path does, its own plane and another alike.
TEST_F(NativeRAWFrameTest, AFrameOfAReadRAWFileIsTheFrameOfItsPath) {
    for (CFAPattern pattern : {CFAPattern::RGGB, CFAPattern::GBRG}) {
        const std::string path = folder.dng("ramp.dng", verticalRamp(pattern));
        const auto fromPath = NativeRAWFrame::open(path, device);
        const auto fromFile = NativeRAWFrame::open(std::make_shared<const RAWFile>(path), device);
        const auto bytes = [](const std::shared_ptr<const Texture>& texture) {
            return testing::readBytes(*texture);
        };
        EXPECT_EQ(bytes(fromFile->packedTexture()), bytes(fromPath->packedTexture()));
        const auto darker = testing::makeTexture(
            *device, PixelFormat::rgba16Float, fromPath->metadata().packedWidth(),
            fromPath->metadata().packedHeight(),
            [&](int x, int y) { return fromPath->packedTexture()->read(x, y) * 0.7f; });
        EXPECT_EQ(bytes(fromFile->renderLinearRGB()), bytes(fromPath->renderLinearRGB()));
        EXPECT_EQ(bytes(fromFile->renderLinearRGB(*darker)),
                  bytes(fromPath->renderLinearRGB(*darker)));
    }
}

}  // namespace
}  // namespace quillmere
