// Files whose headers promise more than their data hold: each must be refused, by the decoder and
// by the thumbnail, before anything is sized from the promise.

#include <gtest/gtest.h>

#include "core/imageio/jpeg_encoder.h"
#include "core/imageio/raster_decoder.h"
#include "core/imageio/thumbnail.h"
#include "tests/fixtures/hostile_photos.h"
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
    for (const std::string& file : {fixtures::singleImageHeif(tile, tileSize),
                                    fixtures::overlayHeif(tile, tileSize, tileSize, tileSize)}) {
        EXPECT_EQ(decodeRasterData(file).width, 64);
        EXPECT_TRUE(Thumbnail::heif(file));
    }
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
