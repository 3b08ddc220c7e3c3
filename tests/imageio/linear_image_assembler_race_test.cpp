// The row assembly's threads, for ThreadSanitizer (scripts/test-races runs the suites whose names
// end in Race): one stage reads stored rows in order while batches of them are converted and
// placed in parallel, the batches passing between the stages through a shared pool. The cases
// check what the threads produce as well, so the ordinary build guards it too.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/imageio/jpeg/jpeg_encoder.h"
#include "reader/raster/linear_image_assembler.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using testing_support::pixelAt;

// Where EXIF orientation `orientation` puts stored pixel (x, y) of a width × height picture:
// the upright column and row, counted from the upright top-left corner.
std::pair<int, int> uprightPlace(int orientation, int x, int y, int width, int height) {
    switch (orientation) {
        case 2:
            return {width - 1 - x, y};
        case 3:
            return {width - 1 - x, height - 1 - y};
        case 4:
            return {x, height - 1 - y};
        case 5:
            return {y, x};
        case 6:
            return {height - 1 - y, x};
        case 7:
            return {height - 1 - y, width - 1 - x};
        case 8:
            return {y, width - 1 - x};
        default:
            return {x, y};
    }
}

// Stored rows whose samples name their row, converted into pixels that name their stored column
// (red) and the row their samples came from (green): a batch converted from samples another
// batch overwrote shows the wrong row. `failAt` is a row whose read throws.
struct NamedRows {
    int width;
    int nextRead = 0;
    bool readInOrder = true;

    LinearImageAssembler::StoredRows rows(int failAt = -1) {
        return {.sampleBytes = sizeof(int),
                .read =
                    [this, failAt](int y, std::uint8_t* samples) {
                        // Unsynchronised on purpose: reads are promised one at a time, in order.
                        readInOrder = readInOrder && y == nextRead;
                        ++nextRead;
                        if (y == failAt) throw std::runtime_error("the file ends");
                        std::memcpy(samples, &y, sizeof y);
                    },
                .convert =
                    [this](int, const std::uint8_t* samples, float* linearRgba) {
                        int y = 0;
                        std::memcpy(&y, samples, sizeof y);
                        for (int x = 0; x < width; ++x) {
                            const float pixel[4] = {static_cast<float>(x), static_cast<float>(y),
                                                    0.5f, 1};
                            std::memcpy(linearRgba + x * 4, pixel, sizeof pixel);
                        }
                    }};
    }
};

// Many more rows than a batch holds, an odd width, every orientation: both ways of placing a
// batch (rows, or a band turned into columns) run with several batches in flight.
TEST(LinearImageAssemblerRace, EveryRowIsReadInOrderAndLandsWhereItsOrientationSays) {
    const int width = 37, height = 1000;
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        NamedRows source{width};
        LinearImageAssembler assembler(width, height, orientation);
        assembler.assemble(source.rows());
        const LinearImage image = std::move(assembler).take();
        EXPECT_TRUE(source.readInOrder);
        EXPECT_EQ(source.nextRead, height);
        const bool turned = orientation >= 5;
        ASSERT_EQ(image.width, turned ? height : width);
        ASSERT_EQ(image.height, turned ? width : height);
        int misplaced = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const auto [column, row] = uprightPlace(orientation, x, y, width, height);
                const std::array<float, 4> expected{static_cast<float>(x), static_cast<float>(y),
                                                    0.5f, 1};
                misplaced += pixelAt(image, column, row) != expected;
            }
        }
        EXPECT_EQ(misplaced, 0);
    }
}

// A read that fails midway stops the batches in flight and hands out no image.
TEST(LinearImageAssemblerRace, ARowThatCannotBeReadStopsEveryBatch) {
    for (const int orientation : {1, 6}) {
        NamedRows source{37};
        LinearImageAssembler assembler(37, 1000, orientation);
        EXPECT_THROW(assembler.assemble(source.rows(700)), std::runtime_error) << orientation;
        EXPECT_EQ(source.nextRead, 701) << orientation;
        EXPECT_THROW(std::move(assembler).take(), ImageIOError) << orientation;
    }
}

// Photos decoded on several threads at once, each through its own parallel assembly, come out
// as the same photo decoded alone: the decoders' conversions share nothing they write.
TEST(LinearImageAssemblerRace, PhotosDecodedAtOnceMatchTheSameDecodedAlone) {
    const Rgb8Image picture = fixtures::makePattern({.width = 300, .height = 700});
    std::vector<std::string> photos{encodeJpeg(picture, 0.9)};
    if (fixtures::canEncodeHeic()) photos.push_back(fixtures::encodeTestHeic(picture, {}));
    for (const std::string& photo : photos) {
        const LinearImage alone = decodeRasterData(photo);
        std::vector<LinearImage> together(3);
        std::vector<std::thread> decoders;
        for (LinearImage& image : together) {
            decoders.emplace_back([&photo, &image] { image = decodeRasterData(photo); });
        }
        for (std::thread& decoder : decoders) decoder.join();
        for (const LinearImage& image : together) {
            EXPECT_EQ(image.width, alone.width);
            EXPECT_TRUE(image.rgba == alone.rgba);
        }
    }
}

}  // namespace
}  // namespace quillmere
