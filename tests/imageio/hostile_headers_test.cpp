// Files whose headers promise more than their data hold: each must be refused, by the decoder and
// by the thumbnail, before anything is sized from the promise.

#include <gtest/gtest.h>

#include <string>

#include "core/imageio/jpeg/jpeg_encoder.h"
#include "reader/raster/raster_decoder.h"
#include "reader/raster/thumbnail.h"
#include "tests/fixtures/hostile_heif.h"
#include "tests/fixtures/hostile_jpeg.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using fixtures::PixelExtent;
using testing_support::peakGrowthDuring;
using testing_support::refusalOf;

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
        const std::string padded =
            fixtures::withCommentPadding(fixtures::claimingSize(small, side, side), padding);
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

// A noise picture written by libjpeg as `writing` says: nearly all of it coded data.
std::string noiseJpegWith(int width, int height, const fixtures::JpegWriting& writing) {
    return fixtures::encodeJpegWith(fixtures::noisePicture(width, height), writing);
}

// Every kind of JPEG cameras and programs write opens, and shows its thumbnail.
TEST(HostileJpeg, HonestKindsOpen) {
    const Rgb8Image flat{96, 80, std::vector<std::uint8_t>(96 * 80 * 3, 128)};
    const std::pair<int, int> full{1, 1}, wide{2, 1}, tall{1, 2};
    const struct {
        std::string what;
        std::string file;
    } kinds[] = {
        {"baseline", noiseJpegWith(96, 80, {})},
        {"progressive", noiseJpegWith(96, 80, {.progressive = true})},
        {"progressive 4:4:4", noiseJpegWith(96, 80, {.progressive = true, .fullChroma = true})},
        {"progressive 4:2:2",
         noiseJpegWith(96, 80, {.progressive = true, .sampling = {wide, full, full}})},
        {"progressive 4:4:0",
         noiseJpegWith(96, 80, {.progressive = true, .sampling = {tall, full, full}})},
        {"grey", noiseJpegWith(96, 80, {.grey = true})},
        {"optimised tables", noiseJpegWith(96, 80, {.optimizedTables = true})},
        {"arithmetic-coded", noiseJpegWith(96, 80, {.arithmetic = true})},
        {"arithmetic-coded progressive",
         noiseJpegWith(96, 80, {.progressive = true, .arithmetic = true})},
        // A restart marker does not end the scan: the coded data after it count too, which a
        // flat picture needs to hold its blocks.
        {"a restart marker after every row", noiseJpegWith(96, 80, {.restartRows = 1})},
        {"a flat picture with a restart marker after every row",
         fixtures::encodeJpegWith(flat, {.grey = true, .restartRows = 1})},
        {"arithmetic-coded with a restart marker after every row",
         noiseJpegWith(96, 80, {.arithmetic = true, .restartRows = 1})},
        {"progressive with a restart marker after every two rows",
         noiseJpegWith(96, 80, {.progressive = true, .restartRows = 2})},
        {"Adobe CMYK", noiseJpegWith(96, 80, {.adobeCmyk = true})},
        {"Adobe YCCK, progressive",
         noiseJpegWith(96, 80, {.progressive = true, .adobeCmyk = true, .ycck = true})},
        // As cameras write them: EXIF first, then an ICC profile, restart markers.
        {"EXIF, an ICC profile and restart markers, as from a camera",
         fixtures::withExif(
             noiseJpegWith(96, 80,
                           {.restartRows = 2, .iccProfile = fixtures::displayP3IccProfile()}),
             {.orientation = 1, .make = "Camera"})},
        {"jpgcrush's and mozjpeg's nine scans",
         noiseJpegWith(96, 80, {.script = fixtures::crushScript()})},
        {"every coefficient in a scan of its own, refined over three bits",
         noiseJpegWith(96, 80,
                       {.grey = true, .script = fixtures::coefficientByCoefficientScript(1, 2)})},
    };
    for (const auto& [what, file] : kinds) {
        EXPECT_EQ(decodeRasterData(file).width, 96) << what;
        EXPECT_TRUE(Thumbnail::jpeg(file)) << what;
    }
}

// Files whose coded data cannot hold what their headers state, however the data are dressed up,
// are refused from their headers, by the decoder and by the thumbnail, at a fraction of what their
// headers state would cost.
TEST(HostileJpeg, CodedDataDressedUpAsMoreAreRefusedFromTheHeader) {
    const std::string progressive444 =
        noiseJpegWith(512, 512, {.progressive = true, .fullChroma = true, .quality = 85});
    const std::string progressiveGrey =
        noiseJpegWith(512, 512, {.progressive = true, .grey = true, .quality = 85});
    EXPECT_NEAR(fixtures::codedBytesOf(progressive444), 400e3, 40e3);
    EXPECT_NEAR(fixtures::codedBytesOf(progressiveGrey), 140e3, 14e3);
    const struct {
        std::string what;
        std::string file;
        int width, height;
    } hostile[] = {
        // An arithmetic-coded flat picture takes three bytes at any size.
        {"arithmetic-coded, padded with bytes its decoder never reads",
         fixtures::paddedArithmeticJpeg(16384, 8192, 65533), 16384, 8192},
        {"arithmetic-coded, padded to 128 KiB",
         fixtures::paddedArithmeticJpeg(16384, 16384, 128 << 10), 16384, 16384},
        {"arithmetic-coded, with a restart marker every 64 blocks and no other data",
         fixtures::restartArithmeticJpeg(16384, 8192, 64), 16384, 8192},
        // libjpeg keeps every coefficient of a progressive file: 1.6 GB for this one.
        {"progressive 4:4:4 with 400 KB of coded data",
         fixtures::claimingSize(progressive444, 16384, 16384), 16384, 16384},
        {"progressive grey with 140 KB of coded data",
         fixtures::claimingSize(progressiveGrey, 16384, 16384), 16384, 16384},
    };
    for (const auto& [what, file, width, height] : hostile) {
        const std::string states = "Its header states " + std::to_string(width) + " × " +
                                   std::to_string(height) + " pixels, more than its";
        const std::uint64_t growth = peakGrowthDuring([&, &what = what, &file = file] {
            EXPECT_NE(refusalOf(file, true, what).find(states), std::string::npos) << what;
        });
        EXPECT_LT(growth, std::uint64_t{100} << 20) << what;
    }
}

// The thumbnail refuses what the decoder refuses for its size, even when the coded data hold
// it all: a flat 16400 × 16400 picture is more pixels than a photo may have.
TEST(HostileJpeg, APhotoTooLargeToOpenShowsNoThumbnail) {
    const std::string fits = fixtures::flatGreyJpeg(2048, 1024);
    EXPECT_EQ(decodeRasterData(fits).width, 2048);
    EXPECT_TRUE(Thumbnail::jpeg(fits));
    const std::string tooLarge = fixtures::flatGreyJpeg(16400, 16400);
    EXPECT_EQ(testing_support::errorCodeOf([&] { decodeRasterData(tooLarge); }),
              ImageIOError::Code::imageTooLarge);
    EXPECT_FALSE(Thumbnail::jpeg(tooLarge));
}

TEST(HostileJpeg, ImageDataEndingEarlyIsAnErrorNotAGreyPhoto) {
    const std::string whole = fixtures::noiseJpeg(256, 192);
    ASSERT_EQ(decodeRasterData(whole).height, 192);
    const std::string cut = whole.substr(0, whole.size() * 6 / 10);
    refusalOf(cut, true, "the file ends mid-scan");
    refusalOf(cut + "\xFF\xD9", true, "the end-of-image marker comes mid-scan");
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
    // Colour primaries numbered 3 are reserved: libheif cannot fill its profile for them (and
    // hands out the unfilled one all the same), so the photo is taken as sRGB.
    std::string reservedPrimaries = fixtures::essentialPropertiesHeif(tile, tileSize);
    reservedPrimaries.replace(reservedPrimaries.find("nclx") + 4, 2, std::string("\0\3", 2));
    const fixtures::HevcStream texturedTile =
        fixtures::encodeHevc(fixtures::noisePicture(64, 64), {.quality = 50});
    const struct {
        std::string what;
        std::string file;
        int width;
    } honest[] = {
        {"one picture", fixtures::singleImageHeif(tile, tileSize), 64},
        {"an overlay", fixtures::overlayHeif(tile, tileSize, tileSize, tileSize), 64},
        // Textured, as a photo's tiles are: a flat tile named in every place codes too few bytes
        // for the pixels it makes.
        {"a grid of 2 × 2 tiles",
         fixtures::gridHeif(texturedTile, tileSize, 2, 2, {128, 128}, {128, 128}), 128},
        {"one picture with an alpha channel",
         fixtures::withAlphaHeif(tile, tileSize, tile, tileSize), 64},
        // A size no item uses is never decoded, however large.
        {"one picture beside an unused 65535 × 65535",
         fixtures::singleImageHeif(tile, tileSize, PixelExtent{65535, 65535}), 64},
        // The top bit of an 'ipma' index marks the property essential; it is no part of the index.
        {"properties marked essential, as phones mark them",
         fixtures::essentialPropertiesHeif(tile, tileSize), 64},
        {"an nclx colour profile naming reserved primaries", reservedPrimaries, 64},
        // A coded picture may be padded to its blocks beyond the size its item states.
        {"an odd-sized 451 × 461 picture",
         fixtures::encodeTestHeic(fixtures::makePattern({.width = 451, .height = 461}), {}), 451},
        {"an odd-sized 29 × 100 picture",
         fixtures::encodeTestHeic(fixtures::makePattern({.width = 29, .height = 100}), {}), 29},
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
         fixtures::singleImageHeif(coding(2048, 2048), tileSize, PixelExtent{4096, 0}),
         1,
         {2048, 2048},
         tileSize},
        {"a grid canvas beside an unused 4096 × 4096",
         fixtures::gridHeif(tile, tileSize, 1, 1, {2048, 2048}, tileSize, PixelExtent{4096, 4096}),
         2,
         {2048, 2048},
         tileSize},
        // Long on one side and small in area, which libheif's limit, the same on both sides,
        // cannot tell from a square.
        {"a grid canvas under a thin size",
         fixtures::gridHeif(tile, tileSize, 1, 1, {2048, 2048}, {2048, 16}),
         2,
         {2048, 2048},
         {2048, 16}},
        {"a stream under a thin size",
         fixtures::singleImageHeif(coding(2048, 2048), {2048, 16}),
         1,
         {2048, 2048},
         {2048, 16}},
        {"an overlay canvas",
         fixtures::overlayHeif(tile, tileSize, {2048, 2048}, {24, 16}),
         2,
         {2048, 2048},
         {24, 16}},
        {"a stream declaring a larger picture in its own data",
         fixtures::singleImageHeif(declaredAnew, tileSize),
         1,
         {2048, 2048},
         tileSize},
        {"an alpha channel",
         fixtures::withAlphaHeif(tile, tileSize, coding(2048, 2048), tileSize),
         2,
         {2048, 2048},
         tileSize},
        // libheif gives the decoder every NAL unit behind a four-byte length, whatever length
        // size the configuration declares: the parameter set it finds so is measured.
        {"a stream whose parameter set follows a filler unit in its data",
         fixtures::parameterSetInDataHeif(tile, {64, 16384}, coding(16384, 16384).sps),
         1,
         {16384, 16384},
         {64, 16384}},
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
    // The grid's one place names the grid itself, or an item that is no image, instead of the tile.
    const auto drawnFrom = [&](char item) {
        std::string file = fixtures::gridHeif(tile, tileSize, 1, 1, tileSize, tileSize);
        const std::size_t reference = file.find("dimg") + 4;
        file.replace(reference + 4, 2, std::string{'\0', item});
        return file;
    };
    const struct {
        std::string what;
        std::string file;
        std::string refusal;
    } hostile[] = {
        {"a grid tile stating 0 × 64", fixtures::gridHeif(tile, {0, 64}, 1, 1, tileSize, tileSize),
         "Its item 1 states a size of 0 × 64 pixels."},
        {"a grid drawn from itself", drawnFrom(2), "Its image is drawn from itself."},
        {"a grid drawn from an item that is no image", drawnFrom(7),
         "Its item 2 is drawn from item 7, which is not an image."},
    };
    for (const auto& [what, file, refusal] : hostile) {
        EXPECT_EQ(refusalOf(file, false, what),
                  "The image data is damaged or incomplete. " + refusal)
            << what;
    }
}

// A file libheif could read otherwise than the checks read it is refused before libheif decodes
// anything: two sets of images, where libheif keeps the one whose boxes it reads whole.
TEST_F(HostileHeif, BoxesThatCanBeReadInMoreThanOneWayAreRefused) {
    const struct {
        std::string what;
        std::string file;
    } hostile[] = {
        {"a stream whose boxes follow an honest file's",
         fixtures::singleImageHeif(tile, tileSize) +
             fixtures::singleImageHeif(coding(2048, 2048), tileSize)},
        {"a 16384 × 16384 stream stating 64 × 64, then an honest set libheif cannot read",
         fixtures::withUnreadableSecondMeta(coding(16384, 16384), tileSize, tile)},
    };
    for (const auto& [what, file] : hostile) {
        const std::uint64_t growth = peakGrowthDuring([&, &what = what, &file = file] {
            EXPECT_EQ(refusalOf(file, false, what),
                      "The image data is damaged or incomplete. Its boxes can be read in more "
                      "than one way.")
                << what;
        });
        EXPECT_LT(growth, std::uint64_t{100} << 20) << what;
    }
}

// libheif decodes a picture again for every place it is used: a small tile named in every place of
// a large grid, or a grid of grids, makes far more pixels than its coded bytes hold, and is
// refused before anything is decoded. Each picture and canvas counts as often as it is made.
TEST_F(HostileHeif, PicturesMadeOverAndOverAreBoundedByTheirCodedBytes) {
    const fixtures::HevcStream flat1024 = fixtures::encodeFlatHevc(1024);
    const std::uint64_t side = 16384;
    const struct {
        std::string what;
        std::string file;
        std::uint64_t pixels;
    } hostile[] = {
        {"a 16384 × 16384 grid naming one flat 1024 × 1024 tile in all its 256 places",
         fixtures::gridHeif(flat1024, {1024, 1024}, 16, 16, {16384, 16384}, {16384, 16384}),
         256 * 1024 * 1024 + side * side},
        {"a 16 × 16 grid of a 16 × 16 grid of one 64 × 64 tile",
         fixtures::nestedGridHeif(tile, tileSize, 16, 16),
         256 * 256 * 64 * 64 + 256 * 1024 * 1024 + side * side},
    };
    for (const auto& [what, file, pixels] : hostile) {
        const std::uint64_t growth = peakGrowthDuring([&, &what = what, &file = file,
                                                       &pixels = pixels] {
            EXPECT_EQ(refusalOf(file, false, what)
                          .find("Its image would make " + std::to_string(pixels) + " pixels from "),
                      std::string("The image data is damaged or incomplete. ").size())
                << what;
        });
        EXPECT_LT(growth, std::uint64_t{100} << 20) << what;
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
        {"an overlay input stating 20000 × 20000",
         fixtures::overlayHeif(tile, {20000, 20000}, tileSize, tileSize)},
        // A picture that matches its stated size on one side only is not the picture stated.
        {"a 64 × 64 stream stating 64 × 48", fixtures::singleImageHeif(tile, {64, 48})},
    };
    for (const auto& [what, file] : lies) refusalOf(file, false, what);
    // Whatever it holds, an image stating more than a photo may have is not decoded.
    EXPECT_EQ(refusalOf(fixtures::overlayHeif(tile, {20000, 20000}, tileSize, tileSize), false,
                        "more than a photo"),
              "The image data is damaged or incomplete. Its item 1 states 20000 × 20000 pixels, "
              "more than a photo may have.");
    EXPECT_EQ(refusalOf(fixtures::singleImageHeif(tile, {64, 48}), false, "one side"),
              "The image data is damaged or incomplete. It decodes to 64 × 64 pixels, not the 64 × "
              "48 it states.");
}

TEST_F(HostileHeif, DamagedBoxesNeverCrash) {
    // Every byte: a damaged item type or reference once ended the process inside libheif.
    testing_support::expectEveryDamageDecodesOrIsRefused(
        fixtures::overlayHeif(tile, tileSize, tileSize, tileSize), 0, 1);
}

}  // namespace
}  // namespace quillmere
