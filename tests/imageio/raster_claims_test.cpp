#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/imageio/jpeg/jpeg_encoder.h"
#include "reader/heif/heif_file.h"
#include "reader/jpeg/jpeg_file.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/test_profiles.h"

namespace quillmere {
namespace {

using fixtures::JpegScanStep;

// What a JPEG of 40 × 30 pixels claims, as libjpeg lays it out: a component sampled at full size
// has 5 × 4 blocks; a chroma component of 4:2:0 covers 20 × 15 pixels, 3 × 2 blocks. A scan of
// one component goes over its blocks; an interleaved scan over every block of its MCUs (3 × 2
// MCUs of 16 × 16 pixels in 4:2:0, of six blocks each; 5 × 4 of one block a component in 4:4:4).
TEST(RasterClaims, AJpegClaimsWhatItsHeaderAndScansSay) {
    const Rgb8Image picture = fixtures::noisePicture(40, 30);
    const std::string profile = fixtures::cmykProfile();
    // libjpeg's progressive script for YCbCr: the DC of all three, interleaved, twice; luma AC in
    // four scans; each chroma's AC in two.
    const std::uint64_t progressiveBlocks = 2 * 36 + 4 * 20 + 4 * 6;
    const struct {
        const char* what;
        std::string file;
        int components;
        bool keepsCoefficients;
        std::uint64_t blocks, scanBlocks;
        std::string iccProfile;
    } cases[] = {
        {"4:2:0", encodeJpeg(picture, 0.9), 3, false, 32, 36, ""},
        {"4:4:4", fixtures::encodeJpegWith(picture, {.fullChroma = true}), 3, false, 60, 60, ""},
        {"grey", fixtures::encodeJpegWith(picture, {.grey = true}), 1, false, 20, 20, ""},
        {"CMYK with its profile",
         fixtures::encodeJpegWith(picture, {.adobeCmyk = true, .iccProfile = profile}), 4, false,
         80, 80, profile},
        {"progressive", fixtures::encodeJpegWith(picture, {.progressive = true}), 3, true, 32,
         progressiveBlocks, ""},
        {"a sequential scan for each component",
         fixtures::encodeJpegWith(
             picture, {.script = {{{0}, 0, 63, 0, 0}, {{1}, 0, 63, 0, 0}, {{2}, 0, 63, 0, 0}}}),
         3, true, 32, 32, ""},
    };
    for (const auto& [what, file, components, keepsCoefficients, blocks, scanBlocks, iccProfile] :
         cases) {
        SCOPED_TRACE(what);
        const JpegClaim claim = JpegFile(file).claim();
        EXPECT_EQ(claim.width, 40);
        EXPECT_EQ(claim.height, 30);
        EXPECT_EQ(claim.components, components);
        EXPECT_EQ(claim.keepsCoefficients, keepsCoefficients);
        EXPECT_EQ(claim.blocks, blocks);
        EXPECT_EQ(claim.scanBlocks, scanBlocks);
        EXPECT_TRUE(claim.iccProfile == iccProfile);
    }
}

// What a HEIF file's primary image claims: every coded picture libheif decodes for it, and every
// picture and canvas it makes (a grid's canvas too), in pixels; its depth, alpha and profile.
TEST(RasterClaims, AHeifFileClaimsThePicturesLibheifMakes) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif on this machine has no HEVC encoder";
    std::vector<fixtures::HevcStream> tiles;
    for (int tile = 0; tile < 4; ++tile) {
        tiles.push_back(fixtures::encodeHevc(fixtures::noisePicture(64, 64), {.quality = 60}));
    }
    const std::string profile = fixtures::lookupTableRgbProfile();
    fixtures::DeepRgbImage deep{64, 64, 10, std::vector<std::uint16_t>(64 * 64 * 3, 700)};
    const struct {
        const char* what;
        std::string file;
        std::int64_t width, height;
        int bitDepth;
        bool alpha;
        std::uint64_t pictures, madePixels;
        std::string iccProfile;
    } cases[] = {
        {"a grid of 2 × 2 tiles on 100 × 120",
         fixtures::tiledHeif(tiles, {64, 64}, 2, 2, {100, 120}, profile), 100, 120, 8, false, 4,
         4 * 64 * 64 + 100 * 120, profile},
        {"one tile in every place of a grid of 2 × 2",
         fixtures::gridHeif(tiles[0], {64, 64}, 2, 2, {128, 128}, {128, 128}), 128, 128, 8, false,
         4, 4 * 64 * 64 + 128 * 128, ""},
        {"a picture with an alpha channel",
         fixtures::withAlphaHeif(tiles[0], {64, 64}, tiles[1], {64, 64}), 64, 64, 8, true, 2,
         2 * 64 * 64, ""},
        {"10 bits", fixtures::encodeTestHeic(deep, {}), 64, 64, 10, false, 1, 64 * 64, ""},
        {"turned a quarter", fixtures::encodeTestHeic(fixtures::noisePicture(128, 64),
                                                      {.orientation = 6}),
         64, 128, 8, false, 1, 128 * 64, ""},
    };
    for (const auto& [what, file, width, height, bitDepth, alpha, pictures, madePixels,
                      iccProfile] : cases) {
        SCOPED_TRACE(what);
        HeifFile heif(file);
        const HeifClaim& claim = heif.claim();
        EXPECT_EQ(claim.width, width);
        EXPECT_EQ(claim.height, height);
        EXPECT_EQ(claim.bitDepth, bitDepth);
        EXPECT_EQ(claim.alpha, alpha);
        EXPECT_EQ(claim.pictures, pictures);
        EXPECT_EQ(claim.madePixels, madePixels);
        EXPECT_GT(claim.codedBytes, 0u);
        EXPECT_TRUE(claim.iccProfile == iccProfile);
    }
}

}  // namespace
}  // namespace quillmere
