#include "core/decode/native_raw_frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

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
using rawbridge::testing::renderSensor;
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

// The frame of a file its reader read.
std::shared_ptr<NativeRAWFrame> frameOf(const std::string& path,
                                        const std::shared_ptr<const Device>& device) {
    return NativeRAWFrame::open(std::make_shared<const RAWFile>(path), device);
}

std::vector<std::byte> bytes(const Texture& texture) { return testing::readBytes(texture); }

std::vector<std::byte> bytes(const rawbridge::testing::Rendering& rendering) {
    const auto* first = reinterpret_cast<const std::byte*>(rendering.rgba.get());
    return {first, first + static_cast<std::size_t>(rendering.width) * rendering.height * 8};
}

// The reader's plane is the bridge's sensor read, in this process, of the same file.
TEST_F(NativeRAWFrameTest, UploadsTheSensorTopRowFirstForEveryCFAPattern) {
    for (CFAPattern pattern :
         {CFAPattern::RGGB, CFAPattern::BGGR, CFAPattern::GRBG, CFAPattern::GBRG}) {
        const std::string path = folder.dng("ramp.dng", verticalRamp(pattern));
        const auto frame = frameOf(path, device);
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

TEST_F(NativeRAWFrameTest, RefusesAnIncompatibleTextureBeforeSendingIt) {
    const std::string path = folder.dng("ramp.dng", verticalRamp(CFAPattern::RGGB));
    const auto frame = frameOf(path, device);
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
}

// A plane of the program's that the reader cannot develop says nothing of the file: the frame's
// own plane still develops.
TEST_F(NativeRAWFrameTest, ReportsDevelopmentFailuresInTheBridgesWords) {
    const std::string path = folder.dng("ramp.dng", verticalRamp(CFAPattern::BGGR));
    const auto frame = frameOf(path, device);
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
                  "The RAW photo could not be developed. The neural model returned a non-finite "
                  "sensor value.");
    }
    EXPECT_EQ(frame->renderLinearRGB()->width(), frame->metadata().outputWidth());
}

// The frame's developments are the bridge's, in this process, of the version of the file its
// reader opened, whatever was written over the path or removed since.
TEST_F(NativeRAWFrameTest, DevelopsWhatTheBridgeDevelopsOfTheVersionItOpened) {
    for (CFAPattern pattern : {CFAPattern::RGGB, CFAPattern::GBRG}) {
        const std::string path = folder.dng("ramp.dng", verticalRamp(pattern));
        const auto read = readSensor(path);
        ASSERT_EQ(read.result, 0) << read.error;
        const auto own = renderSensor(path, read.metadata, read.plane.get());
        const auto frame = frameOf(path, device);
        const auto darker = testing::makeTexture(
            *device, PixelFormat::rgba32Float, frame->metadata().packedWidth(),
            frame->metadata().packedHeight(),
            [&](int x, int y) { return frame->packedTexture()->read(x, y) * 0.7f; });
        std::vector<float> darkerPlane(static_cast<std::size_t>(darker->width()) *
                                       darker->height() * 4);
        std::memcpy(darkerPlane.data(), darker->rowData(0), darkerPlane.size() * sizeof(float));
        const auto darkened = renderSensor(path, read.metadata, darkerPlane.data());
        ASSERT_EQ(own.result, 0) << own.error;
        ASSERT_EQ(darkened.result, 0) << darkened.error;

        SyntheticDNGOptions other = verticalRamp(pattern);
        other.activeArea.reset();
        folder.dng("ramp.dng", other);
        EXPECT_EQ(bytes(*frame->renderLinearRGB()), bytes(own));
        std::filesystem::remove(path);
        EXPECT_EQ(bytes(*frame->renderLinearRGB(*darker)), bytes(darkened));
    }
}

}  // namespace
}  // namespace quillmere
