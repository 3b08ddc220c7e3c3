#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <mutex>

#include "core/common/file_io.h"
#include "core/imageio/image_properties.h"
#include "core/imageio/jpeg_decoder.h"
#include "core/render/export/embedded_metadata.h"
#include "core/render/engine/gpu_render_engine.h"
#include "core/render/engine/raw_loader_photo_loader.h"
#include "core/render/develop/white_balance.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/synthetic_dng.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using Rgb = std::array<double, 3>;

const fs::path kChart = fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng";

// The neutral row of the colour checker, white to black, as fractions of the width, and its
// height as a fraction of the height from the top.
constexpr std::array<double, 6> kGreyColumns{0.406, 0.468, 0.532, 0.596, 0.659, 0.723};
constexpr double kGreyRow = 0.805;
// The checker's red patch.
constexpr double kRedColumn = 0.532;
constexpr double kRedRow = 0.71;

// The mean colour of the square patch of half-size `half` (a fraction of the width) around the
// point (x from the left, y from the top) of an RGBA image whose row 0 is its bottom row.
Rgb patchMean(const float* rgba, int width, int height, double x, double y, double half = 0.01) {
    const int radius = static_cast<int>(half * width);
    const int cx = static_cast<int>(x * width);
    const int cy = height - 1 - static_cast<int>(y * height);
    Rgb sum{};
    int count = 0;
    for (int row = cy - radius; row <= cy + radius; ++row) {
        for (int column = cx - radius; column <= cx + radius; ++column) {
            const float* pixel = rgba + (static_cast<std::size_t>(row) * width + column) * 4;
            for (int channel = 0; channel < 3; ++channel) sum[channel] += pixel[channel];
            ++count;
        }
    }
    for (double& channel : sum) channel /= count;
    return sum;
}

double encodeSRGB(double linear) {
    return linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
}

// A white-balance pick: the temperature and tint whose gains make `linear` grey, found on a
// grid of 25 K and 0.5 tint steps.
std::pair<double, double> pickWhiteBalance(const Rgb& linear, const OpenedPhoto& photo) {
    double best = INFINITY;
    std::pair<double, double> pick{photo.asShotTemperature, photo.asShotTint};
    for (double temperature = 2000; temperature <= 15000; temperature += 25) {
        for (double tint = -150; tint <= 150; tint += 0.5) {
            const auto gains =
                whiteBalanceGains(temperature, tint, photo.asShotTemperature, photo.asShotTint);
            const double red = gains[0] * linear[0] / (gains[1] * linear[1]);
            const double blue = gains[2] * linear[2] / (gains[1] * linear[1]);
            const double error = std::pow(std::log(red), 2) + std::pow(std::log(blue), 2);
            if (error < best) {
                best = error;
                pick = {temperature, tint};
            }
        }
    }
    return pick;
}

EditParams developEdit() {
    std::ifstream stream(fs::path(QUILLMERE_TEST_DATA_DIR) / "develop_edit.json");
    return EditParams::decode(json::Json::parse(stream));
}

TEST(EndToEndDevelopTest, TheColourChartDevelopsIntoAnUprightJPEGWithNeutralGreys) {
    GPURenderEngine engine(std::make_shared<Device>());
    const OpenedPhoto opened =
        futureOf<OpenedPhoto>([&](auto done) { engine.open(kChart, {}, done); }).get();

    // The pick is made on the decoded linear image, as the picker samples it.
    RAWLoaderPhotoLoader picker(std::make_shared<Device>());
    picker.open(kChart);
    const auto decoded = picker.texture(opened.id, false, PreviewResolution::fit,
                                        DenoiseMethod::natural, false, [] { return false; }, {});
    std::vector<float> linear(static_cast<std::size_t>(decoded->width()) * decoded->height() * 4);
    for (int row = 0; row < decoded->height(); ++row) {
        decoded->readRow(0, row,
                         std::span(reinterpret_cast<msl::float4*>(linear.data()) +
                                       static_cast<std::size_t>(row) * decoded->width(),
                                   static_cast<std::size_t>(decoded->width())));
    }
    const Rgb middleGrey =
        patchMean(linear.data(), decoded->width(), decoded->height(), kGreyColumns[2], kGreyRow);
    EditParams edit = developEdit();
    std::tie(edit.temperature, edit.tint) = pickWhiteBalance(middleGrey, opened);

    const std::string jpeg = futureOf<std::string>([&](auto done) {
                                 engine.exportPhoto(opened.id, edit,
                                                    {.format = ExportFormat::jpeg,
                                                     .quality = 0.95,
                                                     .maxLongEdge = std::nullopt,
                                                     .includeSoftware = true,
                                                     .includeEditParameters = true},
                                                    {}, done);
                             }).get();

    const ImageProperties properties = ImageProperties::readData(jpeg);
    EXPECT_EQ(properties.orientation, 1);
    const LinearImage image = decodeJpeg(jpeg, 1);
    ASSERT_EQ(image.width, opened.pixelWidth);
    ASSERT_EQ(image.height, opened.pixelHeight);

    testing::TemporaryFolder folder;
    const fs::path written = folder.path() / "chart.jpg";
    file_io::writeFileAtomically(written, jpeg);
    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(written);
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->editsAppliedToPixels);
    EXPECT_EQ(record->parameters, edit);

    // Greys within 6 levels of 255 of neutral, getting darker from white to black, so the chart
    // is also the right way up and round.
    double previousLevel = 2;
    for (const double column : kGreyColumns) {
        Rgb grey = patchMean(image.rgba.data(), image.width, image.height, column, kGreyRow);
        for (double& channel : grey) channel = encodeSRGB(channel);
        SCOPED_TRACE(column);
        EXPECT_NEAR(grey[0], grey[1], 6.0 / 255);
        EXPECT_NEAR(grey[2], grey[1], 6.0 / 255);
        EXPECT_LT(grey[1], previousLevel - 0.03);
        previousLevel = grey[1];
    }
    const Rgb red = patchMean(image.rgba.data(), image.width, image.height, kRedColumn, kRedRow);
    EXPECT_GT(red[0], 3 * red[1]);
    EXPECT_GT(red[0], 3 * red[2]);
}

// The program's loader, noting the last texture it handed out.
class RecordingLoader : public PhotoLoader {
  public:
    OpenedPhoto open(const fs::path& url) override { return loader.open(url); }
    std::shared_ptr<Texture> texture(const PhotoID& id, bool denoised, PreviewResolution resolution,
                                     DenoiseMethod method, bool preserveRAWTexture,
                                     const std::function<bool()>& shouldCancel,
                                     const std::function<void(double)>& progress) override {
        auto texture = loader.texture(id, denoised, resolution, method, preserveRAWTexture,
                                      shouldCancel, progress);
        std::lock_guard guard(lock);
        last = texture;
        return texture;
    }
    std::shared_ptr<Texture> lastTexture() {
        std::lock_guard guard(lock);
        return last;
    }

  private:
    RAWLoaderPhotoLoader loader{std::make_shared<Device>()};
    std::mutex lock;
    std::shared_ptr<Texture> last;
};

TEST(EndToEndDevelopTest, ExportingAnotherPhotoDropsThePreviewedPhotosDecodes) {
    testing::TemporaryFolder folder;
    const PhotoID a{folder.path() / "a.dng"};
    const PhotoID b{folder.path() / "b.dng"};
    fixtures::writeSyntheticDNG(a.url, {});
    fixtures::writeSyntheticDNG(b.url, {});
    const auto loader = std::make_shared<RecordingLoader>();
    auto collaborators = GPURenderEngine::standardCollaborators(nullptr);
    collaborators.loader = loader;
    GPURenderEngine engine(std::make_shared<Device>(), std::move(collaborators));
    const auto preview = [&](const PhotoID& photo) {
        futureOf<RenderEngine::TexturePointer>([&](auto done) {
            engine.preview(photo, EditParams{}, {}, done);
        }).get();
        return loader->lastTexture();
    };

    const auto decoded = preview(a);
    EXPECT_EQ(preview(a), decoded);  // a slider change decodes nothing
    futureOf<std::string>([&](auto done) {
        engine.exportJPEG(b, EditParams{}, 0.8, {}, done);
    }).get();
    EXPECT_NE(preview(a), decoded);
}

}  // namespace
}  // namespace quillmere
