#include "core/render/engine/photo_thumbnail.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/decode/raw_loader.h"
#include "core/decode/raw_loader_error.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/render/display/display_rgb8.h"
#include "core/render/engine/gpu_render_engine.h"
#include "reader/raster/thumbnail.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"

namespace quillmere {
namespace {

using fixtures::Rgb8;

// A 400 × 300 picture whose stored top-left quarter-height block is red on blue.
const fixtures::TestPattern kPattern{.width = 400, .height = 300, .markerSize = 100};

Rgb8 pixel(const Rgb8Image& image, int x, int y) {
    const std::uint8_t* p = image.rgb.data() + (std::size_t(y) * image.width + x) * 3;
    return {p[0], p[1], p[2]};
}

// Upright and 135 × 180, with the stored top-left corner where `orientation` puts it: top right
// for 6 (turned clockwise), bottom left for 8.
void expectUpright(const std::optional<Rgb8Image>& thumbnail, int orientation) {
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 135);
    EXPECT_EQ(thumbnail->height, 180);
    const int markerX = orientation == 6 ? 130 : 4, markerY = orientation == 6 ? 4 : 175;
    EXPECT_GT(pixel(*thumbnail, markerX, markerY)[0], 150) << orientation;
    EXPECT_LT(pixel(*thumbnail, 134 - markerX, 179 - markerY)[0], 100) << orientation;
}

std::filesystem::path write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST(PhotoThumbnail, JpegHeicAndRawThumbnailsAreUprightAndFitIn180Pixels) {
    testing::TemporaryFolder folder;
    const std::string jpeg = encodeJpeg(fixtures::makePattern(kPattern), 0.95);
    for (int orientation : {6, 8}) {
        const auto file = write(folder.path() / ("o" + std::to_string(orientation) + ".JPG"),
                                fixtures::withExif(jpeg, {.orientation = orientation}));
        expectUpright(photoThumbnail(file), orientation);
    }
    // Never enlarged.
    EXPECT_EQ(photoThumbnail(
                  write(folder.path() / "small.jpg", encodeJpeg(fixtures::makePattern({}), 0.9)))
                  ->width,
              64);

    if (fixtures::canEncodeHeic()) {
        const auto file =
            write(folder.path() / "turned.heic",
                  fixtures::encodeTestHeic(fixtures::makePattern(kPattern), {.orientation = 6}));
        expectUpright(photoThumbnail(file), 6);
    }

    const auto dng = folder.path() / "turned.dng";
    fixtures::SyntheticDNGOptions options;
    options.width = 400;
    options.height = 300;
    options.orientation = 6;
    options.scene = [](int x, int y) {
        return x < 100 && y < 100 ? std::array{0.9f, 0.0f, 0.0f} : std::array{0.0f, 0.0f, 0.5f};
    };
    fixtures::writeSyntheticDNG(dng, options);
    expectUpright(photoThumbnail(dng), 6);
}

// Mean grey (the mean of R, G and B, 0...1) over the colour checker of the sample photo: the
// middle of the picture from x 0.32 to 0.82 and y 0.03 to 0.9 (from the top).
double chartGrey(const Rgb8Image& image) {
    double grey = 0;
    int count = 0;
    for (int y = int(0.03 * image.height); y < int(0.9 * image.height); ++y) {
        for (int x = int(0.32 * image.width); x < int(0.82 * image.width); ++x, ++count) {
            const Rgb8 p = pixel(image, x, y);
            grey += (p[0] + p[1] + p[2]) / (3 * 255.0);
        }
    }
    return grey / count;
}

// The thumbnail of a RAW photo looks like the photo that opens: the colour checker of the
// sample, developed by the engine at its neutral edit and scaled to the thumbnail's size, is as
// bright as in the thumbnail, within 5 %.
TEST(PhotoThumbnail, ARawThumbnailIsAsBrightAsThePreviewAtTheNeutralEdit) {
    const std::filesystem::path chart =
        std::filesystem::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng";
    const std::optional<Rgb8Image> thumbnail = photoThumbnail(chart);
    ASSERT_TRUE(thumbnail);

    GPURenderEngine engine(std::make_shared<Device>());
    const OpenedPhoto opened =
        futureOf<OpenedPhoto>([&](auto done) { engine.open(chart, {}, done); }).get();
    const auto developed =
        futureOf<RenderEngine::TexturePointer>([&](auto done) {
            engine.preview(opened.id,
                           EditParams::neutral(opened.asShotTemperature, opened.asShotTint),
                           PreviewResolution::fit, {}, done);
        }).get();
    const Rgb8Image preview =
        Thumbnail::fittingWithin(displayRgb8(*developed), Thumbnail::maximumSide);
    ASSERT_EQ(std::pair(thumbnail->width, thumbnail->height),
              std::pair(preview.width, preview.height));
    EXPECT_NEAR(chartGrey(*thumbnail), chartGrey(preview), 0.05 * chartGrey(preview));
}

// The thumbnail tells a raster file's format by its data, as the decoder does: whatever its name
// says, a file shows a thumbnail exactly when it opens.
TEST(PhotoThumbnail, ARasterFileShowsAThumbnailExactlyWhenItOpens) {
    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif on this machine cannot encode HEVC";
    testing::TemporaryFolder folder;
    const Rgb8Image picture = fixtures::makePattern(kPattern);
    const std::string jpeg = encodeJpeg(picture, 0.9);
    const std::string heic = fixtures::encodeTestHeic(picture, {});
    std::string video = heic;
    video.replace(8, 4, "isom");  // an MPEG-4 file's brand, and no HEIF brand besides
    video.replace(video.find("mif1"), 4, "mp41");
    video.replace(video.find("heic"), 4, "avc1");
    const struct {
        const char* name;
        std::string bytes;
        bool opens;
    } files[] = {
        {"jpeg.heic", jpeg, true},
        {"heic.jpg", heic, true},
        {"mif1.heif", fixtures::withMajorBrand(heic, "mif1"), true},
        {"video.heic", video, false},
    };
    for (const auto& [name, bytes, opens] : files) {
        const std::filesystem::path file = write(folder.path() / name, bytes);
        bool decoded = true;
        try {
            RAWLoader(std::make_shared<Device>()).open(file);
        } catch (const RAWLoaderError&) {
            decoded = false;
        }
        EXPECT_EQ(decoded, opens) << name;
        EXPECT_EQ(photoThumbnail(file).has_value(), opens) << name;
    }
}

TEST(PhotoThumbnail, FilesThatAreNoPhotosGiveNothing) {
    testing::TemporaryFolder folder;
    EXPECT_EQ(photoThumbnail(write(folder.path() / "notes.jpg", "just text")), std::nullopt);
    EXPECT_EQ(photoThumbnail(write(folder.path() / "notes.heic", "just text")), std::nullopt);
    EXPECT_EQ(photoThumbnail(folder.path() / "missing.nef"), std::nullopt);
    for (const char* stripped : {"exiftool_CanonRaw.cr2", "exiftool_DNG.dng"}) {
        EXPECT_EQ(photoThumbnail(std::filesystem::path(QUILLMERE_TEST_DATA_DIR) / stripped),
                  std::nullopt)
            << stripped;
    }
}

}  // namespace
}  // namespace quillmere
