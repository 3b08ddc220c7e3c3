// Files whose headers promise more than their data hold: each must be refused, by the decoder and
// by the thumbnail, before anything is sized from the promise.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/raster_decoder.h"
#include "core/imageio/thumbnail.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using fixtures::PixelExtent;

// Why the decoder refuses `file` as damaged; the thumbnail must refuse it too.
std::string refusalOf(const std::string& file, bool isJpeg, const std::string& what) {
    EXPECT_FALSE(isJpeg ? Thumbnail::jpeg(file) : Thumbnail::heif(file)) << what;
    try {
        decodeRasterData(file);
    } catch (const ImageIOError& error) {
        EXPECT_EQ(error.code(), ImageIOError::Code::corruptImage) << what;
        return error.what();
    }
    ADD_FAILURE() << what << " was decoded";
    return {};
}

TEST(HostileJpeg, AHeaderClaimingMorePixelsThanItsBytesCanHoldIsRefused) {
    const std::string small = encodeJpeg(fixtures::makePattern({}), 0.9);
    // 16.8 million pixels from two kilobytes, thousands per byte: within the decoders' pixel
    // limit, so only the bytes give it away. Its data also ends early, but the header says it
    // first, before anything is allocated.
    EXPECT_NE(refusalOf(fixtures::claimingSize(small, 4096, 4096), true, "4096 × 4096")
                  .find("states 4096 × 4096 pixels"),
              std::string::npos);

    // Bytes that hold no pixels do not count: the same header behind comments that make the file
    // large enough for the size it states, as 128 KiB for 16384 × 16384.
    for (const auto& [side, padding] : {std::pair{4096, 32 << 10}, std::pair{16384, 128 << 10}}) {
        const std::string padded = fixtures::withCommentPadding(
            fixtures::claimingSize(small, side, side), padding);
        const std::string sides = std::to_string(side) + " × " + std::to_string(side);
        EXPECT_NE(refusalOf(padded, true, sides + " padded").find("states " + sides + " pixels"),
                  std::string::npos);
    }

    // A flat photo at the best quality costs six bits per 16 × 16 pixels, the leanest a real photo
    // gets; it still opens.
    const Rgb8Image grey{1536, 1024, std::vector<std::uint8_t>(1536 * 1024 * 3, 128)};
    const std::string flat = encodeJpeg(grey, 1.0);
    EXPECT_EQ(decodeRasterData(flat).width, 1536);
    EXPECT_TRUE(Thumbnail::jpeg(flat));
}

TEST(HostileJpeg, ImageDataEndingEarlyIsAnErrorNotAGreyPhoto) {
    const std::string whole = fixtures::noiseJpeg(256, 192);
    ASSERT_EQ(decodeRasterData(whole).height, 192);
    const std::string cut = whole.substr(0, whole.size() * 6 / 10);
    refusalOf(cut, true, "the file ends mid-scan");
    refusalOf(cut + "\xFF\xD9", true, "the end-of-image marker comes mid-scan");
}

// How much the process's resident memory rose above where it stood, at its highest while
// `action` ran, in bytes. The kernel's peak is reset first, so an earlier peak hides nothing.
std::uint64_t peakGrowthDuring(const std::function<void()>& action) {
    const auto kibibytesOf = [](const char* field) -> std::uint64_t {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with(field)) return std::stoull(line.substr(std::strlen(field)));
        }
        ADD_FAILURE() << "no " << field << " in /proc/self/status";
        return 0;
    };
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::uint64_t before = kibibytesOf("VmRSS:");
    action();
    return (kibibytesOf("VmHWM:") - before) * 1024;
}

// A photo whose data ends early costs what it holds, not what its header states: 4096 × 4096
// pixels are 256 MiB of linear floats, of which a file cut after a tenth of its rows fills a tenth,
// whichever way its orientation turns the rows.
TEST(HostileJpeg, MemoryGrowsWithTheRowsThatDecode) {
    const std::string whole = [] {
        Rgb8Image gradient{4096, 4096, std::vector<std::uint8_t>(std::size_t{4096} * 4096 * 3)};
        for (std::size_t index = 0; index < gradient.rgb.size(); ++index) {
            const std::size_t pixel = index / 3;
            gradient.rgb[index] = static_cast<std::uint8_t>(pixel % 4096 / 32 + pixel / 4096 / 32);
        }
        return encodeJpeg(gradient, 0.9);
    }();
    const std::string cut = whole.substr(0, whole.size() / 10);
    for (const int orientation : {1, 6}) {
        const std::string file = fixtures::withExif(cut, {.orientation = orientation});
        const std::uint64_t growth = peakGrowthDuring([&] { refusalOf(file, true, "cut"); });
        EXPECT_LT(growth, std::uint64_t{100} << 20) << "orientation " << orientation;
    }
}

class HostileHeif : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fixtures::canEncodeHeic()) {
            GTEST_SKIP() << "libheif on this machine has no HEVC encoder to write test photos";
        }
        tile = fixtures::encodeFlatHevc(64);
    }

    // The tile's stream declaring another picture size.
    fixtures::HevcStream coding(std::uint32_t width, std::uint32_t height) const {
        fixtures::HevcStream stream = tile;
        stream.sps = fixtures::withPictureSize(tile.sps, width, height);
        return stream;
    }

    fixtures::HevcStream tile;
    static constexpr PixelExtent tileSize{64, 64};
};

TEST_F(HostileHeif, HonestFilesOpen) {
    const struct {
        std::string what;
        std::string file;
        int width;
    } honest[] = {
        {"one picture", fixtures::singleImageHeif(tile, tileSize), 64},
        {"an overlay", fixtures::overlayHeif(tile, tileSize, tileSize, tileSize), 64},
        {"a grid of 2 × 2 tiles", fixtures::gridHeif(tile, tileSize, 2, 2, {128, 128}, {128, 128}),
         128},
        {"one picture with an alpha channel", fixtures::withAlphaHeif(tile, tileSize, tile, tileSize),
         64},
        // A size no item uses is never decoded, however large.
        {"one picture beside an unused 65535 × 65535",
         fixtures::singleImageHeif(tile, tileSize, PixelExtent{65535, 65535}), 64},
    };
    for (const auto& [what, file, width] : honest) {
        EXPECT_EQ(decodeRasterData(file).width, width) << what;
        EXPECT_TRUE(Thumbnail::heif(file)) << what;
    }
}

// libheif makes each picture and canvas at the size it finds in the item, whatever the item
// states: every one it would make for the primary image is measured first, and one larger than
// its item states (beyond a coded picture's padding to whole 64-pixel blocks) is refused before
// anything is decoded. Sizes that no item uses, which once raised libheif's size limit, change
// nothing.
TEST_F(HostileHeif, APictureOrCanvasLargerThanItsItemStatesIsRefusedBeforeDecoding) {
    fixtures::HevcStream declaredAnew = tile;
    const std::string largeSps = coding(2048, 2048).sps;
    declaredAnew.slices = std::string{0, 0, static_cast<char>(largeSps.size() >> 8),
                                      static_cast<char>(largeSps.size() & 0xFF)} +
                          largeSps + tile.slices;
    const struct {
        std::string what;
        std::string file;
        std::uint32_t item;
        PixelExtent holds, states;
    } hostile[] = {
        {"a stream beside an unused 4096 × 0",
         fixtures::singleImageHeif(coding(2048, 2048), tileSize, PixelExtent{4096, 0}), 1,
         {2048, 2048}, tileSize},
        {"a grid canvas beside an unused 4096 × 4096",
         fixtures::gridHeif(tile, tileSize, 1, 1, {2048, 2048}, tileSize, PixelExtent{4096, 4096}),
         2, {2048, 2048}, tileSize},
        // Long on one side and small in area, which libheif's limit, the same on both sides,
        // cannot tell from a square.
        {"a grid canvas under a thin size", fixtures::gridHeif(tile, tileSize, 1, 1, {2048, 2048},
                                                                {2048, 16}),
         2, {2048, 2048}, {2048, 16}},
        {"a stream under a thin size", fixtures::singleImageHeif(coding(2048, 2048), {2048, 16}),
         1, {2048, 2048}, {2048, 16}},
        {"an overlay canvas", fixtures::overlayHeif(tile, tileSize, {2048, 2048}, {24, 16}), 2,
         {2048, 2048}, {24, 16}},
        {"a stream declaring a larger picture in its own data",
         fixtures::singleImageHeif(declaredAnew, tileSize), 1, {2048, 2048}, tileSize},
        {"an alpha channel", fixtures::withAlphaHeif(tile, tileSize, coding(2048, 2048), tileSize),
         2, {2048, 2048}, tileSize},
        // libheif reads the last 'meta' box of a file: it is the one measured.
        {"a stream whose boxes follow an honest file's",
         fixtures::singleImageHeif(tile, tileSize) +
             fixtures::singleImageHeif(coding(2048, 2048), tileSize),
         1, {2048, 2048}, tileSize},
    };
    const auto sides = [](PixelExtent size) {
        return std::to_string(size.width) + " × " + std::to_string(size.height);
    };
    for (const auto& [what, file, item, holds, states] : hostile) {
        EXPECT_EQ(refusalOf(file, false, what),
                  "The image data is damaged or incomplete. Its item " + std::to_string(item) +
                      " holds a picture of " + sides(holds) + " pixels, larger than the " +
                      sides(states) + " it states.")
            << what;
    }
}

TEST_F(HostileHeif, ImagesStatingNoPixelsOrDrawnFromThemselvesAreRefused) {
    std::string selfDrawn = fixtures::gridHeif(tile, tileSize, 1, 1, tileSize, tileSize);
    // The grid's one place names the grid itself instead of the tile.
    const std::size_t reference = selfDrawn.find("dimg") + 4;
    selfDrawn.replace(reference + 4, 2, std::string("\0\2", 2));
    const struct {
        std::string what;
        std::string file;
    } hostile[] = {
        {"a grid tile stating 0 × 64",
         fixtures::gridHeif(tile, {0, 64}, 1, 1, tileSize, tileSize)},
        {"a grid drawn from itself", selfDrawn},
    };
    for (const auto& [what, file] : hostile) refusalOf(file, false, what);
}

TEST_F(HostileHeif, APictureLargerThanTheFileStatesIsRefused) {
    const struct {
        std::string what;
        std::string file;
    } lies[] = {
        {"a 2048 × 2048 stream stating 24 × 16",
         fixtures::singleImageHeif(coding(2048, 2048), {24, 16})},
        {"a 2048 × 2048 overlay canvas stating 24 × 16",
         fixtures::overlayHeif(tile, tileSize, {2048, 2048}, {24, 16})},
        // Cut down to the overlay's size, which is true, it would pass for a 64 × 64 photo.
        {"a 2048 × 2048 overlay input stating 64 × 64",
         fixtures::overlayHeif(coding(2048, 2048), tileSize, tileSize, tileSize)},
        {"a 64 × 64 stream stating 128 × 128", fixtures::singleImageHeif(tile, {128, 128})},
        // Whatever it holds, an image stating more than a photo may have is not decoded.
        {"an overlay input stating 20000 × 20000",
         fixtures::overlayHeif(tile, {20000, 20000}, tileSize, tileSize)},
    };
    for (const auto& [what, file] : lies) refusalOf(file, false, what);
}

TEST_F(HostileHeif, DamagedBoxesNeverCrash) {
    // Every byte: a damaged item type or reference once ended the process inside libheif.
    testing_support::expectEveryDamageDecodesOrIsRefused(
        fixtures::overlayHeif(tile, tileSize, tileSize, tileSize), 0, 1);
}

}  // namespace
}  // namespace quillmere
