#include "core/decode/native_raw_frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <stdexcept>

#include "core/compute/half_float.h"
#include "tests/decode/native_raw_test_support.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

using fixtures::CFAPattern;
using fixtures::SensorRect;
using fixtures::SyntheticDNGOptions;
using msl::float4;
using rawbridge::testing::readSensor;
using rawbridge::testing::renderSensor;
using rawbridge::testing::testData;
using testing::expectNativeRAWError;
using Code = NativeRAWError::Code;

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
    // A texture of the frame's packed size in `format` whose texel (x, y) is
    // change(x, y, the frame's own texel).
    std::shared_ptr<Texture> packedTwin(const NativeRAWFrame& frame, PixelFormat format,
                                        const std::function<float4(int, int, float4)>& change) {
        const Texture& own = *frame.packedTexture();
        return testing::makeTexture(*device, format, own.width(), own.height(),
                                    [&](int x, int y) { return change(x, y, own.read(x, y)); });
    }

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
        EXPECT_EQ(std::memcmp(&frame->metadata().raw, &read.metadata, sizeof read.metadata), 0);
        EXPECT_EQ(frame->noiseProfile().readVariance,
                  std::to_array(read.metadata.noise_read_variance));
    }
}

TEST(NativeRAWMetadata, ViewsReadTheirOwnFieldsOfTheRecord) {
    NativeRAWMetadata m;
    m.raw = {.width = 1,
             .height = 2,
             .packed_width = 3,
             .packed_height = 4,
             .crop_x = 5,
             .crop_y = 6,
             .crop_width = 7,
             .crop_height = 8,
             .output_width = 9,
             .output_height = 10,
             .orientation = 11,
             .cfa_x = {},
             .cfa_y = {},
             .iso = 12,
             .black = {13, 14, 15, 16},
             .white = {17, 18, 19, 20},
             .camera_white_balance = {21, 22, 23, 24},
             .noise_shot = {25, 26, 27, 28},
             .noise_read_variance = {29, 30, 31, 32},
             .noise_samples = {33, 34, 35, 36}};
    EXPECT_EQ((std::array{m.width(), m.height(), m.packedWidth(), m.packedHeight(), m.cropX(),
                          m.cropY(), m.cropWidth(), m.cropHeight(), m.outputWidth(),
                          m.outputHeight(), m.orientation()}),
              (std::array{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(m.iso(), 12.0f);
    EXPECT_EQ(m.blackLevels(), (std::array<float, 4>{13, 14, 15, 16}));
    EXPECT_EQ(m.whiteLevels(), (std::array<float, 4>{17, 18, 19, 20}));
    EXPECT_EQ(m.cameraWhiteBalance(), (std::array<float, 4>{21, 22, 23, 24}));
    EXPECT_EQ(m.noiseProfile(),
              (NativeRAWNoiseProfile{{25, 26, 27, 28}, {29, 30, 31, 32}, {33, 34, 35, 36}}));
}

TEST_F(NativeRAWFrameTest, DevelopsItsOwnPlaneExactlyAsTheBridgeDoes) {
    SyntheticDNGOptions turned = verticalRamp(CFAPattern::GBRG);
    turned.orientation = 8;
    for (const std::string& path :
         {folder.dng("turned.dng", turned), testData("tinydng_colorchart.dng")}) {
        const auto frame = NativeRAWFrame::open(path, device);
        const auto read = readSensor(path);
        const auto rendering = renderSensor(path, read.metadata, read.plane.get());
        ASSERT_EQ(rendering.result, 0) << rendering.error;
        SCOPED_TRACE(path);
        testing::expectDecodedTexture(
            *frame->renderLinearRGB(), PixelFormat::rgba16Float, frame->metadata().outputWidth(),
            frame->metadata().outputHeight(), "Native linear RAW RGB", rendering.rgba.get());
    }
}

TEST_F(NativeRAWFrameTest, DevelopsTheTextureItIsGivenInEitherFormat) {
    // Even sides: the plane covers every sample, none keeps the file's value.
    SyntheticDNGOptions options = verticalRamp(CFAPattern::RGGB);
    options.activeArea.reset();
    const auto frame = NativeRAWFrame::open(folder.dng("ramp.dng", options), device);
    // Values a half float holds exactly, so both formats carry the same plane.
    const auto toHalfPrecision = [](int, int, float4 t) {
        const auto round = [](float v) { return halfToFloat(floatToHalf(v)); };
        return float4{round(t.x), round(t.y), round(t.z), round(t.w)};
    };
    const auto asFloats = packedTwin(*frame, PixelFormat::rgba32Float, toHalfPrecision);
    const auto asHalves = packedTwin(*frame, PixelFormat::rgba16Float, toHalfPrecision);
    EXPECT_EQ(testing::readBytes(*frame->renderLinearRGB(*asHalves)),
              testing::readBytes(*frame->renderLinearRGB(*asFloats)));

    const auto black =
        packedTwin(*frame, PixelFormat::rgba32Float, [](int, int, float4) { return float4{}; });
    for (const float4& pixel : testing::readTexels(*frame->renderLinearRGB(*black))) {
        ASSERT_EQ(pixel, (float4{0.0f, 0.0f, 0.0f, 1.0f}));
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
          make(PixelFormat::rgba16Float, width, height + 1, shared),
          make(PixelFormat::rgba32Float, width, height, StorageMode::devicePrivate),
          make(PixelFormat::r32Float, width, height, shared),
          make(PixelFormat::rg16Float, width, height, shared)}) {
        expectNativeRAWError([&] { frame->renderLinearRGB(*texture); }, Code::incompatibleTexture,
                             "The denoised sensor texture has an incompatible size or format.");
    }
    expectNativeRAWError([&] { frame->renderLinearRGB(); }, Code::decoding,
                         "Open RAW: Input/output error");
}

TEST_F(NativeRAWFrameTest, ReportsDevelopmentFailuresInTheBridgesWords) {
    const std::string path = folder.dng("ramp.dng", verticalRamp(CFAPattern::BGGR));
    const auto frame = NativeRAWFrame::open(path, device);
    for (PixelFormat format : {PixelFormat::rgba32Float, PixelFormat::rgba16Float}) {
        const auto broken = packedTwin(*frame, format, [](int x, int y, float4 t) {
            return x == 7 && y == 3 ? float4{t.x, std::numeric_limits<float>::infinity(), t.z, t.w}
                                    : t;
        });
        expectNativeRAWError([&] { frame->renderLinearRGB(*broken); }, Code::decoding,
                             "The neural model returned a non-finite sensor value.");
    }

    SyntheticDNGOptions wider = verticalRamp(CFAPattern::BGGR);
    wider.activeArea.reset();
    folder.dng("ramp.dng", wider);
    expectNativeRAWError([&] { frame->renderLinearRGB(); }, Code::decoding,
                         "RAW geometry changed since decoding.");
}

TEST_F(NativeRAWFrameTest, OpensOnlyWhatTheSensorReadAccepts) {
    SyntheticDNGOptions linear;
    linear.linearRaw = true;
    SyntheticDNGOptions narrow;
    narrow.width = 31;
    const std::pair<std::string, std::string> cases[] = {
        {testData("missing.dng"), "Open RAW: Input/output error"},
        {folder.dng("linear.dng", linear),
         "The research denoiser currently requires a three-color Bayer RAW."},
        {folder.dng("narrow.dng", narrow), "RAW sensor is too small."},
        {testData("exiftool_CanonRaw.cr2"), "Open RAW: Unsupported file format or not RAW file"},
        {testData("exiftool_CanonRaw.crw"), "The RAW file holds no image data."},
        {testData("exiftool_FujiFilm.raf"), "The RAW file holds no image data."},
    };
    for (const auto& [path, message] : cases) {
        SCOPED_TRACE(path);
        expectNativeRAWError([&] { NativeRAWFrame frame(path, device); }, Code::decoding, message);
    }
    EXPECT_THROW(NativeRAWFrame(folder.dng("grey.dng", {}), nullptr), std::invalid_argument);
    EXPECT_FALSE(NativeRAWFrame::decoderVersion().empty());
}

TEST_F(NativeRAWFrameTest, ReportsTexturesTheDeviceCannotMake) {
    const std::string path = folder.dng("ramp.dng", verticalRamp(CFAPattern::GRBG));
    const std::shared_ptr<const Texture> packed = NativeRAWFrame(path, device).packedTexture();
    const std::size_t packedBytes =
        packed->bytesPerRow() * static_cast<std::size_t>(packed->height());
    const std::string text = "Could not allocate memory for the native RAW image.";
    expectNativeRAWError([&] { NativeRAWFrame(path, std::make_shared<Device>(packedBytes - 1)); },
                         Code::allocation, text);

    // Room for the packed sensor, not for the developed image of twice its sides.
    const NativeRAWFrame frame(path, std::make_shared<Device>(packedBytes));
    expectNativeRAWError([&] { frame.renderLinearRGB(); }, Code::allocation, text);
}

}  // namespace
}  // namespace quillmere
