#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/decode/libraw_fallback.h"
#include "core/decode/native_raw_error.h"
#include "core/decode/native_raw_frame.h"
#include "core/decode/raw_file.h"
#include "core/decode/raw_filter_error.h"
#include "core/decode/raw_loader_error.h"
#include "core/decode/raw_thumbnail.h"
#include "tests/decode/raw_loader_test_support.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/process_raw_check_limits.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

using fixtures::ProcessRAWCheckLimits;
using loader_testing::LoaderTest;
using testing::failureOf;

// Every path that has LibRaw read a file refuses `file` as one that cannot be decoded, and the
// loader goes on to open `good`.
class RAWFileRefusalTest : public LoaderTest {
  protected:
    void expectRefusedEverywhere(const std::filesystem::path& file) {
        SCOPED_TRACE(file.filename());
        EXPECT_EQ(
            failureOf<RAWLoaderError>([&] { loader->open(file); }),
            std::pair(RAWLoaderError::Code::unsupportedFile,
                      "Cannot decode " + file.filename().string() + " as a supported photo."));
        EXPECT_EQ(failureOf<RAWFilterError>([&] { RAWFile read(file); }).first,
                  RAWFilterError::Code::unsupportedFile);
        EXPECT_EQ(linearRAWThumbnail(file, *device, 180), nullptr);
        EXPECT_EQ(failureOf<NativeRAWError>([&] { LibRawFallback::decode(file, *device); }).first,
                  NativeRAWError::Code::decoding);
        EXPECT_FALSE(LibRawFallback::supportsDetail(file));
        EXPECT_EQ(failureOf<NativeRAWError>([&] { NativeRAWFrame::open(file, device); }).first,
                  NativeRAWError::Code::decoding);
    }
    void expectOpens(const std::filesystem::path& file) {
        EXPECT_EQ(loader->open(file).pixelWidth, 128);
    }
};

TEST_F(RAWFileRefusalTest, ATIFFDirectoryRunningPastTheEndIsRefusedAndTheProgramGoesOn) {
    const std::filesystem::path good = syntheticDNG("good.dng");
    for (const char* name : {"cut.nef", "cut.dng"}) {
        loader_testing::writeFile(photoPath(name), fixtures::tiffDirectoryPastTheEnd());
        expectRefusedEverywhere(photoPath(name));
    }
    expectOpens(good);
}

TEST_F(RAWFileRefusalTest, AFileTheHelperCannotGetThroughIsRefusedWithItsReason) {
    const std::filesystem::path file = syntheticDNG("photo.dng");
    {
        const ProcessRAWCheckLimits tight(fixtures::refusingEveryFile());
        expectRefusedEverywhere(file);
        const std::string reason = "Reading photo.dng took LibRaw more memory than it may use.";
        EXPECT_EQ(failureOf<RAWFilterError>([&] { RAWFile read(file); }).second,
                  "The file is not a RAW photo the RAW filter can develop. " + reason);
        EXPECT_EQ(failureOf<NativeRAWError>([&] { LibRawFallback::decode(file, *device); }).second,
                  reason);
    }
    expectOpens(file);
}

TEST_F(RAWFileRefusalTest, AFileChangedOnDiskIsCheckedBeforeItIsReadAgain) {
    fixtures::SyntheticDNGOptions options;
    const std::filesystem::path file = syntheticDNG("photo.dng", options);
    const RAWFile read(file);
    std::vector<std::uint16_t> rgba(std::size_t{128} * 96 * 4);
    options.scene = fixtures::flatScene(0.5f, 0.5f, 0.5f);
    fixtures::writeSyntheticDNG(file, options);
    std::filesystem::last_write_time(
        file, std::filesystem::last_write_time(file) + std::chrono::hours(1));
    {
        const ProcessRAWCheckLimits tight(fixtures::refusingEveryFile());
        EXPECT_EQ(failureOf<RAWFilterError>([&] { read.develop(nullptr, rgba.data()); }).first,
                  RAWFilterError::Code::developFailed);
    }
    read.develop(nullptr, rgba.data());
}

TEST_F(RAWFileRefusalTest, APermittedFileIsCheckedOnceAndDevelopsAsTheBridgeDevelopsIt) {
    // A copy of its own, which no other test has had checked.
    const std::string chart = photoPath("chart.dng").string();
    std::filesystem::copy_file(rawbridge::testing::testData("tinydng_colorchart.dng"), chart);
    const std::size_t runsBefore = RAWFileVetting::forProcess().helperRuns();
    const RAWFile file(chart);
    const RAWFile again(chart);
    EXPECT_EQ(RAWFileVetting::forProcess().helperRuns(), runsBefore + 1);

    const QXRAWMetadata& record = file.metadata();
    std::vector<std::uint16_t> developed(std::size_t(record.output_width) * record.output_height *
                                         4);
    file.develop(nullptr, developed.data());
    const auto read = rawbridge::testing::readSensor(chart);
    ASSERT_EQ(read.result, 0) << read.error;
    const auto bridge = rawbridge::testing::renderSensor(chart, read.metadata, read.plane.get());
    ASSERT_EQ(bridge.result, 0) << bridge.error;
    EXPECT_EQ(std::memcmp(developed.data(), bridge.rgba.get(), developed.size() * 2), 0);
}

}  // namespace
}  // namespace quillmere
