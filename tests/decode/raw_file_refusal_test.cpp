#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

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

TEST_F(RAWFileRefusalTest, ASensorFrameDevelopsItsChangedFileOnlyOnceItIsChecked) {
    const std::filesystem::path photo = syntheticDNG("frame.dng");
    const std::shared_ptr<NativeRAWFrame> frame = NativeRAWFrame::open(photo, device);
    const fixtures::ProcessRAWCheckLimits tight(fixtures::refusingEveryFile());
    std::filesystem::last_write_time(photo, std::filesystem::last_write_time(photo) +
                                                std::chrono::hours(1));
    EXPECT_EQ(failureOf<NativeRAWError>([&] { frame->renderLinearRGB(); }).first,
              NativeRAWError::Code::decoding);
}

// The paths of one open share a timed-out verdict; the user's next open checks the file again.
TEST_F(RAWFileRefusalTest, AFileThatRanOutOfTimeIsCheckedAgainAtItsNextOpen) {
    const std::filesystem::path photo = syntheticDNG("slow.dng"), helper = photoPath("helper"),
                                log = photoPath("runs.log");
    std::ofstream(helper) << "#!/bin/sh\necho >> '" << log.string() << "'\nkill -XCPU $$\n";
    std::filesystem::permissions(helper, std::filesystem::perms::owner_all);
    const auto runsOfTwoOpens = [&] {
        // In a process of its own, whose gate is made with this helper.
        setenv("QUILLMERE_RAW_CHECK", helper.c_str(), 1);
        for (int open = 0; open < 2; ++open) {
            EXPECT_EQ(testing::messageOf<RAWLoaderError>([&] { loader->open(photo); }),
                      "Cannot decode slow.dng as a supported photo.");
        }
        std::ifstream in(log);
        return static_cast<int>(std::count(std::istreambuf_iterator<char>(in), {}, '\n'));
    };
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exit(runsOfTwoOpens()), ::testing::ExitedWithCode(2), "");
}

}  // namespace
}  // namespace quillmere
