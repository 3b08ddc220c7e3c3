#include <gtest/gtest.h>

#include "core/decode/libraw_fallback.h"
#include "core/decode/native_raw_error.h"
#include "core/decode/native_raw_frame.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_loader_error.h"
#include "core/decode/raw_thumbnail.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/process_raw_check_limits.h"

namespace quillmere {
namespace {

using testing::failureOf;

class RAWFileRefusalTest : public loader_testing::LoaderTest {
  protected:
    // Every path by which LibRaw reads a file refuses it, as a file that cannot be decoded.
    void expectRefusedEverywhere(const std::filesystem::path& file) {
        SCOPED_TRACE(file);
        EXPECT_EQ(testing::messageOf<RAWLoaderError>([&] { loader->open(file); }),
                  "Cannot decode " + file.filename().string() + " as a supported photo.");
        EXPECT_EQ(failureOf<RAWFilterError>([&] { RAWFile read(file); }).first,
                  RAWFilterError::Code::unsupportedFile);
        EXPECT_EQ(linearRAWThumbnail(file, *device, 180), nullptr);
        EXPECT_EQ(failureOf<NativeRAWError>([&] { LibRawFallback::decode(file, *device); }).first,
                  NativeRAWError::Code::decoding);
        EXPECT_FALSE(LibRawFallback::supportsDetail(file));
        EXPECT_EQ(failureOf<NativeRAWError>([&] { NativeRAWFrame::open(file, device); }).first,
                  NativeRAWError::Code::decoding);
    }
};

TEST_F(RAWFileRefusalTest, AFileLibRawCannotReadSafelyIsRefusedAndTheProgramGoesOn) {
    for (const char* name : {"cut.nef", "cut.dng"}) {
        loader_testing::writeFile(photoPath(name), fixtures::tiffDirectoryPastTheEnd());
        expectRefusedEverywhere(photoPath(name));
    }
    const std::filesystem::path photo = syntheticDNG("photo.dng");
    {
        const fixtures::ProcessRAWCheckLimits tight(fixtures::refusingEveryFile());
        expectRefusedEverywhere(photo);
        EXPECT_EQ(
            testing::messageOf<NativeRAWError>([&] { LibRawFallback::decode(photo, *device); }),
            "Reading photo.dng took LibRaw more memory than it may use.");
    }
    EXPECT_EQ(loader->open(photo).pixelWidth, 128);
}

TEST_F(RAWFileRefusalTest, APermittedFileIsCheckedOnceHoweverOftenItIsRead) {
    // A copy of its own, which no other test has had checked.
    const std::filesystem::path chart = photoPath("chart.dng");
    std::filesystem::copy_file(testing::testData("tinydng_colorchart.dng"), chart);
    const std::size_t runs = RAWFileVetting::forProcess().helperRuns();
    EXPECT_EQ(loader->open(chart).pixelWidth, 1734);
    EXPECT_NE(texture(chart, false, PreviewResolution::fit), nullptr);
    EXPECT_NE(linearRAWThumbnail(chart, *device, 180), nullptr);
    EXPECT_EQ(RAWFileVetting::forProcess().helperRuns(), runs + 1);
}

}  // namespace
}  // namespace quillmere
