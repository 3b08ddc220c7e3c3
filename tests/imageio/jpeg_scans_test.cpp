// What a JPEG's scans cost libjpeg, bounded by what they hold and counted from the file's bytes
// before libjpeg decodes them: the blocks of every component, the passes of every scan over them,
// the order of refinements, and the coded data that pay for them.

#include <gtest/gtest.h>
#include <jpeglib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "core/imageio/jpeg/jpeg_error_handling.h"
#include "reader/jpeg/jpeg_scan_watch.h"
#include "tests/fixtures/hostile_jpeg.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using fixtures::JpegScanStep;
using testing_support::peakGrowthDuring;
using testing_support::refusalOf;
using Sampling = std::vector<std::pair<int, int>>;  // each component's factors

constexpr std::uint64_t kScanBlocksPerByte = 128;  // 16 passes over 8 blocks a byte
const std::string kDamaged = "The image data is damaged or incomplete. ";

std::string passesRefusal(std::size_t scans, std::uint64_t blocks, std::uint64_t bytes) {
    return kDamaged + "Its " + std::to_string(scans) + " scans go over " + std::to_string(blocks) +
           " blocks in all, more than its " + std::to_string(bytes) +
           " bytes of image data pay for.";
}

// The 8 × 8 blocks of a `width` × `height` frame: a component spans ceil(side × factor / largest
// factor) samples each way.
std::uint64_t frameBlocks(const Sampling& sampling, std::uint64_t width, std::uint64_t height) {
    int widest = 1, tallest = 1;
    for (const auto& [horizontal, vertical] : sampling) {
        widest = std::max(widest, horizontal);
        tallest = std::max(tallest, vertical);
    }
    const auto blocks = [](std::uint64_t side, int factor, int largest) {
        return ((side * factor + largest - 1) / largest + 7) / 8;
    };
    std::uint64_t total = 0;
    for (const auto& [horizontal, vertical] : sampling) {
        total += blocks(width, horizontal, widest) * blocks(height, vertical, tallest);
    }
    return total;
}

// Every component counts as its sampling factors make it: a 4:4:4 photo's chroma carries two
// thirds of its blocks, a YCCK photo's black as many as its luma. A header promising more blocks
// than eight a byte of coded data is refused, one promising exactly as many as fit is not (it then
// ends early). A scan of one component goes over its blocks, an interleaved one over every block of
// its MCUs, those padding the MCUs at the edges too: a DC scan of every component then 63 scans of
// each one alone, over a picture a pixel short of a whole number of MCUs each way, is refused with
// the sum of them all.
TEST(JpegScans, EveryComponentCountsAsItsSamplingMakesIt) {
    const std::pair<int, int> full{1, 1}, wide{2, 1}, tall{1, 2}, quad{2, 2};
    const struct {
        std::string what;
        fixtures::JpegWriting writing;
        Sampling sampling;
    } kinds[] = {
        {"grey", {.grey = true}, {full}},
        {"4:2:0", {}, {quad, full, full}},
        {"4:2:2", {.sampling = {wide, full, full}}, {wide, full, full}},
        {"4:4:0", {.sampling = {tall, full, full}}, {tall, full, full}},
        {"4:4:4", {.fullChroma = true}, {full, full, full}},
        {"CMYK", {.adobeCmyk = true}, {full, full, full, full}},
        {"YCCK", {.adobeCmyk = true, .ycck = true}, {quad, full, full, quad}},
    };
    for (auto [what, writing, sampling] : kinds) {
        SCOPED_TRACE(what);
        const std::string noise = fixtures::encodeJpegWith(fixtures::noisePicture(40, 24), writing);
        const std::uint64_t bytes = fixtures::codedBytesOf(noise);
        const std::uint64_t height = 121;  // no whole number of blocks in any component
        std::uint64_t fits = 1, beyond = 65535;
        while (beyond - fits > 1) {
            const std::uint64_t middle = (fits + beyond) / 2;
            (frameBlocks(sampling, middle, height) <= 8 * bytes ? fits : beyond) = middle;
        }
        const auto claiming = [&](std::uint64_t width) {
            return fixtures::claimingSize(noise, int(width), int(height));
        };
        EXPECT_EQ(refusalOf(claiming(beyond), true, what),
                  kDamaged + "Its header states " + std::to_string(beyond) + " × 121 pixels, " +
                      "more than its " + std::to_string(bytes) + " bytes of image data can hold.");
        EXPECT_EQ(refusalOf(claiming(fits), true, what).find("header states"), std::string::npos);

        writing.script = fixtures::coefficientByCoefficientScript(int(sampling.size()), 0);
        const std::string squares =
            fixtures::encodeJpegWith(fixtures::flatSquares(64, 64), writing);
        const std::uint64_t squareBytes = fixtures::codedBytesOf(squares);
        int widest = 1, tallest = 1, mcuBlocks = 0;
        for (const auto& [horizontal, vertical] : sampling) {
            widest = std::max(widest, horizontal);
            tallest = std::max(tallest, vertical);
            mcuBlocks += horizontal * vertical;
        }
        // The smallest picture of mcus × mcus MCUs whose passes its coded data cannot pay for.
        std::uint64_t mcus = 0, scanBlocks = 0;
        while (scanBlocks <= kScanBlocksPerByte * squareBytes) {
            ++mcus;
            scanBlocks = mcus * mcus * mcuBlocks +
                         63 * frameBlocks(sampling, 8 * widest * mcus - 1, 8 * tallest * mcus - 1);
        }
        EXPECT_EQ(refusalOf(fixtures::claimingSize(squares, int(8 * widest * mcus - 1),
                                                   int(8 * tallest * mcus - 1)),
                            true, what),
                  passesRefusal(1 + 63 * sampling.size(), scanBlocks, squareBytes));
    }
}

// Progressive grey files of 512 × 512 flat squares (4096 blocks, each costing the DC scan several
// bits and every other scan next to nothing) whose scans go over each block hundreds of times are
// refused by the decoder and the thumbnail at a fraction of what decoding them costs; the same
// picture in honest scripts opens, with the same pixels.
TEST(JpegScans, ScansGoingOverTheirBlocksMoreOftenThanTheirBytesPayForAreRefused) {
    const Rgb8Image squares = fixtures::flatSquares(512, 512);
    const auto grey = [&](bool arithmetic, std::vector<JpegScanStep> script) {
        return fixtures::encodeJpegWith(
            squares, {.grey = true, .arithmetic = arithmetic, .script = std::move(script)});
    };
    const std::vector<JpegScanStep> acOnce{{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}};
    const std::vector<JpegScanStep> refinedOnce{
        {{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 1}, {{0}, 1, 63, 1, 0}};
    const std::string hostile[] = {
        // A first AC scan coded again overwrites the first, which libjpeg allows.
        fixtures::withScanRepeated(grey(false, acOnce), 1, 299),
        grey(true, fixtures::coefficientByCoefficientScript(1, 3)),
        fixtures::withScanRepeated(grey(false, refinedOnce), 2, 989),
    };
    for (const std::string& file : hostile) {
        const std::size_t scans = fixtures::scanStarts(file).size();
        const std::uint64_t growth = peakGrowthDuring([&] {
            EXPECT_EQ(refusalOf(file, true, std::to_string(scans) + " scans"),
                      passesRefusal(scans, scans * 4096, fixtures::codedBytesOf(file)));
        });
        EXPECT_LT(growth, std::uint64_t{24} << 20);
    }
    const LinearImage baseline = decodeRasterData(grey(false, {}));
    for (const std::string& file :
         {grey(true, refinedOnce),
          fixtures::encodeJpegWith(squares, {.progressive = true, .grey = true})}) {
        EXPECT_EQ(decodeRasterData(file).rgba, baseline.rgba);
    }
}

// 64 scans going over exactly as many blocks as the coded data pay for are not refused for it (the
// data then end early); one block more in each scan is. More than a thousand scans are refused
// even over a picture small enough that its coded data pay for every pass.
TEST(JpegScans, TheBoundsAreSixteenPassesOverEightBlocksAByteAndAThousandScans) {
    const std::string file = fixtures::encodeJpegWith(
        fixtures::flatSquares(48, 32),
        {.grey = true, .script = fixtures::coefficientByCoefficientScript(1, 0)});
    const std::uint64_t bytes = fixtures::codedBytesOf(file);
    const std::uint64_t fitting = kScanBlocksPerByte * bytes / 64;  // blocks in each scan
    const auto claiming = [&](std::uint64_t blocks) {
        return fixtures::claimingSize(file, int(8 * blocks), 8);
    };
    EXPECT_EQ(refusalOf(claiming(fitting + 1), true, "beyond"),
              passesRefusal(64, 64 * (fitting + 1), bytes));
    EXPECT_EQ(refusalOf(claiming(fitting), true, "at").find("scans go over"), std::string::npos);

    const std::string small =
        fixtures::encodeJpegWith(fixtures::flatSquares(16, 16),
                                 {.grey = true, .script = {{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}}});
    EXPECT_EQ(decodeRasterData(fixtures::withScanRepeated(small, 1, 998)).width, 16);
    EXPECT_EQ(refusalOf(fixtures::withScanRepeated(small, 1, 999), true, "1001 scans"),
              kDamaged + "The image has too many scans.");
}

// Only what codes blocks counts as coded data: not the segments around the scans, restart markers
// and stuffed zeros, nor what libjpeg never reads as a scan's data (after the end of the image,
// after a restart marker no restart interval calls for, a second scan of a picture its first scan
// coded whole). Each file shows the bytes it counted when it claims more blocks than they can
// hold; each opens as it is.
TEST(JpegScans, OnlyEntropyCodedDataCountAsCodedData) {
    const auto grey = [](fixtures::JpegWriting writing) {
        writing.grey = true;
        return fixtures::encodeJpegWith(fixtures::noisePicture(40, 32), writing);
    };
    const std::string baseline = grey({}), restarts = grey({.restartRows = 1}),
                      progressive = grey({.progressive = true});
    const auto beforeEnd = [](const std::string& jpeg, const std::string& bytes) {
        return jpeg.substr(0, jpeg.size() - 2) + bytes + "\xFF\xD9";
    };
    const std::string junk = "\xFF\xD0" + std::string(4096, '\x55');
    // A restart interval of 65535 blocks, more than any claim below: it calls for no marker.
    const std::size_t scan = baseline.find("\xFF\xDA");
    const std::string longInterval = baseline.substr(0, scan) +
                                     std::string("\xFF\xDD\x00\x04\xFF\xFF", 6) +
                                     baseline.substr(scan);
    const struct {
        std::string file;
        const std::string& counted;  // the file whose coded data it holds
    } files[] = {
        {baseline, baseline},  // noise: full of 0xFF bytes and their stuffed zeros
        {restarts, restarts},
        {progressive, progressive},  // six scans, tables between them
        {fixtures::withExif(grey({.iccProfile = fixtures::displayP3IccProfile()}),
                            {.orientation = 1}),
         baseline},
        {progressive + grey({.quality = 95}), progressive},
        {beforeEnd(baseline, junk), baseline},
        {beforeEnd(longInterval, junk), baseline},
        {fixtures::withScanRepeated(baseline, 0, 1), baseline},
    };
    for (const auto& [file, counted] : files) {
        const std::uint64_t bytes = fixtures::codedBytesOf(counted);
        EXPECT_EQ(decodeRasterData(file).width, 40);
        int side = 8;  // a square of at least one block more than the bytes can hold
        while (std::uint64_t(side / 8) * (side / 8) <= 8 * bytes) side += 8;
        EXPECT_EQ(refusalOf(fixtures::claimingSize(file, side, side), true, "claiming"),
                  kDamaged + "Its header states " + std::to_string(side) + " × " +
                      std::to_string(side) + " pixels, more than its " + std::to_string(bytes) +
                      " bytes of image data can hold.");
    }
}

// A refinement scan codes the next bit of coefficients whose earlier bits were coded: one coded
// twice is refused when libjpeg starts it, Huffman- or arithmetic-coded, where libjpeg would warn
// and decode it all the same.
TEST(JpegScans, ARefinementOutOfOrderIsRefused) {
    for (const bool arithmetic : {false, true}) {
        const std::string refined =
            fixtures::encodeJpegWith(fixtures::makePattern({}), {.arithmetic = arithmetic,
                                                                 .script = {{{0, 1, 2}, 0, 0, 0, 0},
                                                                            {{0}, 1, 63, 0, 1},
                                                                            {{1}, 1, 63, 0, 0},
                                                                            {{2}, 1, 63, 0, 0},
                                                                            {{0}, 1, 63, 1, 0}}});
        EXPECT_EQ(decodeRasterData(refined).width, 64);
        EXPECT_EQ(refusalOf(fixtures::withScanRepeated(refined, 4, 1), true, "twice"),
                  kDamaged + "Its scan 6 does not follow the bits its earlier scans coded.");
    }
}

// Each scan libjpeg starts is held to the one counted in the bytes: a scan going over other blocks
// than counted, or one not counted at all, stops the decoding before it is decoded.
TEST(JpegScans, LibjpegReadsOnlyTheScansCounted) {
    const std::string file =
        fixtures::encodeJpegWith(fixtures::makePattern({}), {.progressive = true});
    const auto decodeCounting = [&](std::vector<std::uint64_t> counted) {
        jpeg_decompress_struct info{};
        jpeg_errors::ErrorManager errors{};
        jpeg_scans::ScanWatch watch;
        jpeg_errors::install(errors, *reinterpret_cast<jpeg_common_struct*>(&info));
        jpeg_create_decompress(&info);
        watch.watch(info, std::move(counted));
        const bool decoded = jpeg_errors::run(errors, [&] {
            jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(file.data()), file.size());
            jpeg_read_header(&info, TRUE);
            jpeg_start_decompress(&info);
        });
        jpeg_destroy_decompress(&info);
        return decoded ? std::string() : std::string(errors.message);
    };
    // libjpeg's script for 64 × 48 pixels in 4:2:0: DC scans over 4 × 3 MCUs of six blocks, AC
    // scans over the 8 × 6 blocks of luma or the 4 × 3 of one chroma.
    std::vector<std::uint64_t> blocks{72, 48, 12, 12, 48, 48, 72, 12, 12, 48};
    EXPECT_EQ(decodeCounting(blocks), "");
    EXPECT_EQ(decodeCounting({blocks.begin(), blocks.end() - 1}),
              "Its scan 10 is not the scan found in its bytes.");
    blocks[3] = 13;
    EXPECT_EQ(decodeCounting(blocks), "Its scan 4 is not the scan found in its bytes.");
}

// A sequential file may code its components in scans of their own, one each or the chroma
// together, which libjpeg reads as it reads a progressive file's: every scan is counted, each
// opens with the pixels of its one-scan twin, and a claim beyond the bytes of all its scans is
// refused with them all.
TEST(JpegScans, ASequentialFileOfAScanPerComponentOpensAsItsOneScanTwin) {
    const Rgb8Image noise = fixtures::noisePicture(96, 80);
    const LinearImage oneScan = decodeRasterData(fixtures::encodeJpegWith(noise, {}));
    const std::vector<std::vector<JpegScanStep>> scripts{
        {{{0}, 0, 63, 0, 0}, {{1}, 0, 63, 0, 0}, {{2}, 0, 63, 0, 0}},
        {{{0}, 0, 63, 0, 0}, {{1, 2}, 0, 63, 0, 0}},
    };
    for (const auto& script : scripts) {
        const std::string file = fixtures::encodeJpegWith(noise, {.script = script});
        SCOPED_TRACE(std::to_string(script.size()) + " scans");
        ASSERT_EQ(fixtures::scanStarts(file).size(), script.size());
        EXPECT_EQ(decodeRasterData(file).rgba, oneScan.rgba);
        EXPECT_TRUE(Thumbnail::jpeg(file));
        const std::uint64_t bytes = fixtures::codedBytesOf(file);
        int side = 16;  // a square of 4:2:0 MCUs of more blocks than the bytes can hold
        while (std::uint64_t(side / 16) * (side / 16) * 6 <= 8 * bytes) side += 16;
        EXPECT_EQ(refusalOf(fixtures::claimingSize(file, side, side), true, "claiming"),
                  kDamaged + "Its header states " + std::to_string(side) + " × " +
                      std::to_string(side) + " pixels, more than its " + std::to_string(bytes) +
                      " bytes of image data can hold.");
    }
}

}  // namespace
}  // namespace quillmere
