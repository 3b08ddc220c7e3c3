#include <gtest/gtest.h>

#include <array>
#include <optional>

#include "core/decode/native_raw_error.h"
#include "core/decode/native_raw_frame.h"
#include "core/decode/raw_loader_error.h"
#include "core/decode/raw_thumbnail.h"
#include "tests/decode/raw_loader_test_support.h"

namespace quillmere {
namespace {

using fixtures::CFAPattern;
using fixtures::SyntheticDNGOptions;
using Size = std::array<int, 2>;

class RAWDevelopmentBoundsTest : public loader_testing::LoaderTest {
  protected:
    // The photo's size and its thumbnail's (developed at half size each way, doubled back), or
    // nothing for either when it is refused, and whether the Detail denoiser's sensor frame reads
    // it: every path the program reads a RAW file by.
    struct Outcome {
        std::optional<Size> photo, thumbnail;
        bool detail = false;
        bool operator==(const Outcome&) const = default;
    };

    Outcome outcomeOf(const std::filesystem::path& file) {
        Outcome outcome;
        try {
            const OpenedPhoto opened = loader->open(file);
            outcome.photo = Size{opened.pixelWidth, opened.pixelHeight};
        } catch (const RAWLoaderError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot decode " + file.filename().string() + " as a supported photo.");
        }
        if (const auto thumbnail = linearRAWThumbnail(file, *device, 4096)) {
            outcome.thumbnail = Size{thumbnail->width() * 2, thumbnail->height() * 2};
        }
        try {
            outcome.detail = NativeRAWFrame::open(file, device) != nullptr;
        } catch (const NativeRAWError&) {
        }
        return outcome;
    }
};

// The photo, its thumbnail and the Detail denoiser agree on every file: a Bayer sensor of each
// phase opens by the RAW filter; non-square samples (stretched into shape), four colours and a
// sensor the RAW filter refuses open by LibRaw's development, thumbnail and all; a mosaic that is
// no Bayer quad, or more than its bytes can hold, is refused on every path.
TEST_F(RAWDevelopmentBoundsTest, PhotoThumbnailAndDetailAgreeOnWhatAFileHolds) {
    const auto options = [](auto change) {
        SyntheticDNGOptions options;  // 128 × 96
        change(options);
        return options;
    };
    const auto flatTile = [](double samplesPerByte, std::optional<std::array<double, 2>> scale) {
        SyntheticDNGOptions options;
        options.width = options.height = 512;
        options.coding = SyntheticDNGOptions::Coding::emptyTableLosslessJpeg;
        options.trailingBytes = static_cast<std::size_t>(512 * 512 / samplesPerByte);
        options.defaultScale = scale;
        return options;
    };
    const Outcome bayer{Size{128, 96}, Size{128, 96}, true}, refused{};
    const std::tuple<const char*, SyntheticDNGOptions, Outcome> cases[] = {
        {"rggb.dng", options([](auto& o) { o.cfaPattern = CFAPattern::RGGB; }), bayer},
        {"bggr.dng", options([](auto& o) { o.cfaPattern = CFAPattern::BGGR; }), bayer},
        {"grbg.dng", options([](auto& o) { o.cfaPattern = CFAPattern::GRBG; }), bayer},
        {"gbrg.dng", options([](auto& o) { o.cfaPattern = CFAPattern::GBRG; }), bayer},
        {"wide.dng",
         options([](auto& o) {
             o.defaultScale = std::array{2.0, 1.0};
         }),
         {Size{256, 96}, Size{256, 96}, false}},
        {"cmyg.dng",
         options([](auto& o) {
             o.cfaColours = std::array<std::uint8_t, 4>{3, 4, 5, 1};
         }),
         {Size{128, 96}, Size{128, 96}, false}},
        {"black-at-white.dng",
         options([](auto& o) { o.blackLevels = {3999}, o.whiteLevel = 4000; }),
         {Size{128, 96}, Size{128, 96}, false}},
        {"rgbr.dng", options([](auto& o) {
             o.cfaColours = std::array<std::uint8_t, 4>{0, 1, 2, 0};
         }),
         refused},
        {"dense.dng", flatTile(24, std::nullopt), refused},
        {"stretched.dng", flatTile(12, std::array{10.0, 1.0}), refused},
    };
    for (const auto& [name, dng, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(outcomeOf(syntheticDNG(name, dng)), expected);
    }
}

}  // namespace
}  // namespace quillmere
