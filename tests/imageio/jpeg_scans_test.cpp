// What a JPEG's scans cost libjpeg, bounded by what they hold: scans that go over their blocks
// more often than their coded data pay for, and scans that refine bits out of order, are refused
// from the file's bytes before libjpeg decodes them, while honest files with the same pictures
// open; and only entropy-coded data count as coded data.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include <jpeglib.h>

#include "core/imageio/jpeg/jpeg_error_handling.h"
#include "core/imageio/jpeg/jpeg_scan_watch.h"
#include "core/imageio/raster_decoder.h"
#include "core/imageio/thumbnail.h"
#include "tests/fixtures/hostile_jpeg.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/jpeg_kinds.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using fixtures::JpegScanStep;
using testing_support::peakGrowthDuring;
using testing_support::refusalOf;

// libjpeg may go over 16 × 8 blocks for each byte of coded data.
constexpr std::uint64_t kScanBlocksPerByte = 128;

std::string passesRefusal(std::size_t scans, std::uint64_t blocks, std::uint64_t bytes) {
    return "The image data is damaged or incomplete. Its " + std::to_string(scans) +
           " scans go over " + std::to_string(blocks) + " blocks in all, more than its " +
           std::to_string(bytes) + " bytes of image data pay for.";
}

// A DC scan, the AC coefficients to bit 1, then refined to bit 0: the last scan is a refinement.
const std::vector<JpegScanStep> refinedOnce{
    {{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 1}, {{0}, 1, 63, 1, 0}};

// Progressive grey files of 512 × 512 flat squares (4096 blocks, each costing the DC scan several
// bits and every other scan next to nothing) whose scans go over each block hundreds of times;
// refused with the scans, blocks and bytes counted here, by the decoder and the thumbnail, at a
// fraction of what decoding them costs. The same picture in honest scripts opens.
TEST(JpegScans, ScansGoingOverTheirBlocksMoreOftenThanTheirBytesPayForAreRefused) {
    const Rgb8Image squares = fixtures::flatSquares(512, 512);
    const auto grey = [&](bool arithmetic, std::vector<JpegScanStep> script) {
        return fixtures::encodeJpegWith(
            squares, {.grey = true, .arithmetic = arithmetic, .script = std::move(script)});
    };
    const std::vector<JpegScanStep> acOnce{{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}};
    const struct {
        std::string what;
        std::string file;
    } hostile[] = {
        // A first AC scan coded again overwrites the first, which libjpeg allows.
        {"an AC scan repeated 300 times", fixtures::withScanRepeated(grey(false, acOnce), 1, 299)},
        {"every coefficient in a scan of its own, over four bits",
         grey(false, fixtures::coefficientByCoefficientScript(1, 3))},
        {"the same, arithmetic-coded", grey(true, fixtures::coefficientByCoefficientScript(1, 3))},
        // Refused for its passes before libjpeg would see its refinements out of order.
        {"a refinement scan repeated 990 times",
         fixtures::withScanRepeated(grey(false, refinedOnce), 2, 989)},
        {"the same, arithmetic-coded", fixtures::withScanRepeated(grey(true, refinedOnce), 2, 989)},
    };
    for (const auto& [what, file] : hostile) {
        const std::size_t scans = fixtures::scanStarts(file).size();
        const std::uint64_t growth = peakGrowthDuring([&, &what = what, &file = file] {
            EXPECT_EQ(refusalOf(file, true, what),
                      passesRefusal(scans, scans * 4096, fixtures::codedBytesOf(file)))
                << what;
        });
        EXPECT_LT(growth, std::uint64_t{24} << 20) << what;
    }

    const std::string honest[] = {
        grey(false, {}),
        fixtures::encodeJpegWith(squares, {.progressive = true, .grey = true}),
        fixtures::encodeJpegWith(squares, {.progressive = true, .grey = true, .arithmetic = true}),
        grey(false, refinedOnce),
        grey(false, fixtures::coefficientByCoefficientScript(1, 0)),
    };
    for (const std::string& file : honest) {
        EXPECT_EQ(decodeRasterData(file).rgba, decodeRasterData(honest[0]).rgba);
    }
}

// Real progressive files have ten or so scans: more than a thousand are refused before any is
// decoded, even over a picture small enough that its coded data pay for every pass.
TEST(JpegScans, MoreThanAThousandScansAreRefused) {
    const std::string file =
        fixtures::encodeJpegWith(fixtures::flatSquares(16, 16),
                                 {.grey = true, .script = {{{0}, 0, 0, 0, 0}, {{0}, 1, 63, 0, 0}}});
    EXPECT_EQ(decodeRasterData(fixtures::withScanRepeated(file, 1, 998)).width, 16);
    EXPECT_EQ(refusalOf(fixtures::withScanRepeated(file, 1, 999), true, "1001 scans"),
              "The image data is damaged or incomplete. The image has too many scans.");
}

// A header that makes 64 scans go over exactly as many blocks as the coded data pay for is not
// refused for it (the data then end early); one block more in each scan is.
TEST(JpegScans, TheBoundIsSixteenPassesOverEightBlocksAByte) {
    const std::string file = fixtures::encodeJpegWith(
        fixtures::flatSquares(48, 32),
        {.grey = true, .script = fixtures::coefficientByCoefficientScript(1, 0)});
    const std::uint64_t bytes = fixtures::codedBytesOf(file);
    const std::uint64_t fitting = kScanBlocksPerByte * bytes / 64;  // blocks in each scan
    ASSERT_LT(fitting, 8 * bytes);                                  // within the pixels' bound
    const auto claiming = [&](std::uint64_t blocks) {
        return fixtures::claimingSize(file, static_cast<int>(8 * blocks), 8);
    };
    EXPECT_EQ(refusalOf(claiming(fitting + 1), true, "one block beyond"),
              passesRefusal(64, 64 * (fitting + 1), bytes));
    EXPECT_EQ(refusalOf(claiming(fitting), true, "at the bound").find("scans go over"),
              std::string::npos);
}

// A scan of one component goes over that component's blocks; an interleaved one over every block
// of its MCUs, those that pad the MCUs at the edges too. Counted here from each component's
// sampling factors, for a picture a pixel wider and taller than a whole number of MCUs.
TEST(JpegScans, EachScanGoesOverItsComponentsBlocksOrItsMcusBlocks) {
    const std::pair<int, int> full{1, 1}, wide{2, 1}, tall{1, 2}, quad{2, 2};
    const struct {
        std::string what;
        fixtures::JpegWriting writing;
        std::vector<std::pair<int, int>> sampling;
    } kinds[] = {
        {"4:2:0", {}, {quad, full, full}},
        {"4:2:2", {.sampling = {wide, full, full}}, {wide, full, full}},
        {"4:4:0", {.sampling = {tall, full, full}}, {tall, full, full}},
        {"YCCK", {.adobeCmyk = true, .ycck = true}, {quad, full, full, quad}},
    };
    for (auto [what, writing, sampling] : kinds) {
        SCOPED_TRACE(what);
        writing.script =
            fixtures::coefficientByCoefficientScript(static_cast<int>(sampling.size()), 0);
        const std::string file = fixtures::encodeJpegWith(fixtures::flatSquares(64, 64), writing);
        const std::uint64_t bytes = fixtures::codedBytesOf(file);
        int widest = 1, tallest = 1, mcuBlocks = 0;
        for (const auto& [horizontal, vertical] : sampling) {
            widest = std::max(widest, horizontal);
            tallest = std::max(tallest, vertical);
            mcuBlocks += horizontal * vertical;
        }
        // The picture of mcus × mcus MCUs, less a pixel on each side: one DC scan of all
        // components, then 63 scans of each component alone.
        const auto claim = [&](int mcus) {
            const int width = 8 * widest * mcus - 1, height = 8 * tallest * mcus - 1;
            std::uint64_t pixelBlocks = 0;
            for (const auto& [horizontal, vertical] : sampling) {
                const auto across = [](int side, int factor, int largest) {
                    return std::uint64_t((side * factor + largest - 1) / largest + 7) / 8;
                };
                pixelBlocks +=
                    across(width, horizontal, widest) * across(height, vertical, tallest);
            }
            return std::tuple{width, height, pixelBlocks,
                              std::uint64_t(mcus) * mcus * mcuBlocks + 63 * pixelBlocks};
        };
        // The coded data of a far smaller picture: the smallest claim whose passes they cannot
        // pay for, while they could hold its blocks.
        int mcus = 1;
        while (std::get<3>(claim(mcus)) <= kScanBlocksPerByte * bytes) ++mcus;
        const auto [width, height, pixelBlocks, scanBlocks] = claim(mcus);
        ASSERT_LE(pixelBlocks, 8 * bytes);
        EXPECT_EQ(refusalOf(fixtures::claimingSize(file, width, height), true, what),
                  passesRefusal(1 + 63 * sampling.size(), scanBlocks, bytes));
    }
}

// Only what codes blocks counts as coded data: not the segments around the scans (EXIF, an ICC
// profile, tables between scans), restart markers and stuffed zeros, nor what libjpeg never reads
// as a scan's data (after the end of the image, after a restart marker the restart interval does
// not call for, a second scan of a picture its first scan coded whole). Each file shows how many
// bytes it counted when its header claims more blocks than they can hold; each opens as it is.
TEST(JpegScans, OnlyEntropyCodedDataCountAsCodedData) {
    const Rgb8Image noise = [] {
        Rgb8Image picture{40, 32, std::vector<std::uint8_t>(40 * 32 * 3)};
        std::uint32_t state = 5;
        for (std::uint8_t& value : picture.rgb)
            value = static_cast<std::uint8_t>((state *= 69069) >> 24);
        return picture;
    }();
    const auto grey = [&](fixtures::JpegWriting writing) {
        writing.grey = true;
        return fixtures::encodeJpegWith(noise, writing);
    };
    const std::string baseline = grey({});
    const std::uint64_t baselineBytes = fixtures::codedBytesOf(baseline);
    const auto beforeEnd = [](const std::string& jpeg, const std::string& bytes) {
        return jpeg.substr(0, jpeg.size() - 2) + bytes + "\xFF\xD9";
    };
    const std::string junk(4096, '\x55');
    // A restart interval of 65535 blocks, which no claim below reaches: it calls for no marker.
    const std::string longInterval = std::string("\xFF\xDD\x00\x04\xFF\xFF", 6);
    const std::size_t firstScan = baseline.find("\xFF\xDA");
    const std::string restarts = grey({.restartRows = 1});
    const std::string progressive = grey({.progressive = true});
    const struct {
        std::string what;
        std::string file;
        std::uint64_t bytes;
        bool baselinePicture;
    } files[] = {
        // Noise is full of 0xFF bytes, each followed by a stuffed zero.
        {"a baseline file", baseline, baselineBytes, true},
        {"restart markers after every row, which go on to the next row", restarts,
         fixtures::codedBytesOf(restarts), false},
        {"six scans with tables between them", progressive, fixtures::codedBytesOf(progressive),
         false},
        {"EXIF and an ICC profile before the scan",
         fixtures::withExif(grey({.iccProfile = fixtures::displayP3IccProfile()}),
                            {.orientation = 6, .make = "Camera"}),
         baselineBytes, false},
        {"another picture after the end of the image", progressive + grey({.quality = 95}),
         fixtures::codedBytesOf(progressive), true},
        {"a restart marker without a restart interval, then bytes",
         beforeEnd(baseline, "\xFF\xD0" + junk), baselineBytes, true},
        {"a restart marker the interval does not call for, then bytes",
         beforeEnd(baseline.substr(0, firstScan) + longInterval + baseline.substr(firstScan),
                   "\xFF\xD0" + junk),
         baselineBytes, true},
        {"the one scan of a picture coded again", fixtures::withScanRepeated(baseline, 0, 1),
         baselineBytes, true},
    };
    const LinearImage expected = decodeRasterData(baseline);
    for (const auto& [what, file, bytes, baselinePicture] : files) {
        SCOPED_TRACE(what);
        if (baselinePicture) {
            EXPECT_EQ(decodeRasterData(file).rgba, expected.rgba);
        }
        // A square of at least one block more than the bytes can hold.
        int side = 8;
        while (std::uint64_t(side / 8) * (side / 8) <= 8 * bytes) side += 8;
        EXPECT_EQ(refusalOf(fixtures::claimingSize(file, side, side), true, what),
                  "The image data is damaged or incomplete. Its header states " +
                      std::to_string(side) + " × " + std::to_string(side) +
                      " pixels, more than its " + std::to_string(bytes) +
                      " bytes of image data can hold.");
    }
}

// A refinement scan codes the next bit of coefficients whose earlier bits were coded: one that
// does not (coded twice, or before the first bits) is refused when libjpeg starts it, Huffman- or
// arithmetic-coded, where libjpeg would warn and decode it all the same.
TEST(JpegScans, ARefinementOutOfOrderIsRefused) {
    const Rgb8Image picture = fixtures::makePattern({});
    for (const bool arithmetic : {false, true}) {
        SCOPED_TRACE(arithmetic ? "arithmetic-coded" : "Huffman-coded");
        const std::string refined =
            fixtures::encodeJpegWith(picture, {.arithmetic = arithmetic,
                                               .script = {{{0, 1, 2}, 0, 0, 0, 0},
                                                          {{0}, 1, 63, 0, 1},
                                                          {{1}, 1, 63, 0, 0},
                                                          {{2}, 1, 63, 0, 0},
                                                          {{0}, 1, 63, 1, 0}}});
        EXPECT_EQ(decodeRasterData(refined).width, 64);
        EXPECT_EQ(refusalOf(fixtures::withScanRepeated(refined, 4, 1), true, "twice"),
                  "The image data is damaged or incomplete. Its scan 6 does not follow the bits "
                  "its earlier scans coded.");
        // The refinement moved before the scan coding the bits it refines.
        const std::vector<std::size_t> starts = fixtures::scanStarts(refined);
        const std::string early = refined.substr(0, starts[1]) +
                                  refined.substr(starts[4], refined.size() - 2 - starts[4]) +
                                  refined.substr(starts[1], starts[4] - starts[1]) + "\xFF\xD9";
        EXPECT_EQ(refusalOf(early, true, "early"),
                  "The image data is damaged or incomplete. Its scan 2 does not follow the bits "
                  "its earlier scans coded.");
    }
}

// The scans libjpeg reads are held to those counted in the bytes: a scan going over other blocks
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
    // libjpeg's script for a 64 × 48 photo in 4:2:0: the DC scans over 4 × 3 MCUs of six blocks,
    // the AC scans over 8 × 6 blocks of luma or 4 × 3 of one chroma.
    const std::vector<std::uint64_t> blocks{72, 48, 12, 12, 48, 48, 72, 12, 12, 48};
    EXPECT_EQ(decodeCounting(blocks), "");
    std::vector<std::uint64_t> otherBlocks = blocks;
    otherBlocks[3] = 13;
    EXPECT_EQ(decodeCounting(otherBlocks), "Its scan 4 is not the scan found in its bytes.");
    EXPECT_EQ(decodeCounting({blocks.begin(), blocks.begin() + 9}),
              "Its scan 10 is not the scan found in its bytes.");
}

}  // namespace
}  // namespace quillmere
