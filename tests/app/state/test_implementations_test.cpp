#include <gtest/gtest.h>

#include <chrono>
#include <cmath>

#include "app/state/in_memory_checkpoint_store.h"
#include "app/state/in_memory_preset_store.h"
#include "app/state/mock_render_engine.h"
#include "core/imageio/jpeg_decoder.h"
#include "core/render/export/exporter_error.h"

namespace quillmere {
namespace {

TEST(InMemoryStores, BehaveLikeTheFileStoresAtTheirEdges) {
    InMemoryPresetStore presets(std::vector<PresetFolder>{
        {.name = "Film", .presets = {{"b", "Film", {}}, {"a", "Film", {}}}}});
    presets.save({"  Zeta \n", "Mine", {.exposure = 1}});
    presets.save({"Alpha", "Mine", {}});
    EXPECT_THROW(presets.save({"New", "Film", {}}), PresetStoreError);
    EXPECT_THROW(presets.save({" \t", "Mine", {}}), PresetStoreError);
    const auto folders = presets.folders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[0].presets[0].name, "a");
    EXPECT_EQ(folders[1].presets,
              (std::vector<Preset>{{"Alpha", "Mine", {}}, {"Zeta", "Mine", {.exposure = 1}}}));

    InMemoryCheckpointStore checkpoints;
    const Date now = std::chrono::system_clock::now();
    const EditCheckpoint late{UUID::random(), "late", now + std::chrono::hours(1), {}};
    EditCheckpoint early{UUID::random(), "early", now, {}};
    checkpoints.save(late, "/photos/a.dng");
    checkpoints.save(early, "/photos/./a.dng");
    early.name = " renamed ";
    checkpoints.save(early, "/photos/a.dng");
    EXPECT_EQ(checkpoints.checkpoints("/photos/a.dng"), (std::vector{early, late}));
    EXPECT_THROW(checkpoints.save({UUID::random(), "\n ", now, {}}, "/photos/a.dng"),
                 CheckpointStoreError);
}

template <class T, class Start>
T await(Start start) {
    return futureOf<T>(start).get();
}

TEST(MockRenderEngine, OpensAFixedRAWPhotoAndDrawsAGradientBrightenedByExposure) {
    MockRenderEngine engine;
    const auto photo = await<OpenedPhoto>([&](auto done) { engine.open("/a.arw", {}, done); });
    EXPECT_EQ(photo.pixelWidth * 10000 + photo.pixelHeight, 6000 * 10000 + 4000);
    EXPECT_EQ(photo.asShotTemperature, 5992);
    EXPECT_EQ(photo.asShotTint, -1.3);
    EXPECT_EQ(photo.exif, (json::Json{{"Model", "ILCE-7M3 (mock)"}}));
    EXPECT_TRUE(photo.isRAW && photo.supportsDetailDenoise);

    const auto red = [&](double exposure, int x, int y) {
        EditParams params;
        params.exposure = exposure;
        const auto texture = await<RenderEngine::TexturePointer>([&](auto done) {
            engine.preview(PhotoID{"/a.arw"}, params, PreviewResolution::full, {}, done);
        });
        EXPECT_EQ(texture->width() * 1000 + texture->height(), 256 * 1000 + 170);
        return texture->read(x, y);
    };
    const msl::float4 topLeft = red(0, 0, 0), bottomRight = red(0, 255, 169);
    EXPECT_EQ(topLeft.x + topLeft.y + topLeft.z, 0.0f);
    EXPECT_EQ(bottomRight.x + bottomRight.y + bottomRight.z + bottomRight.w, 4.0f);
    // Doubled, red saturates from the middle column, blue from the middle row, green where
    // u + v reaches 1.
    EXPECT_LT(red(1, 127, 169).x, 1.0f);
    EXPECT_EQ(red(1, 128, 0).x, 1.0f);
    EXPECT_LT(red(1, 255, 84).z, 1.0f);
    EXPECT_EQ(red(1, 0, 85).z, 1.0f);
    EXPECT_EQ(red(1, 255, 0).y, 1.0f);
    EXPECT_LT(red(1, 127, 84).y, 1.0f);

    MockRenderEngine headless(false);
    EXPECT_THROW(await<RenderEngine::TexturePointer>([&](auto done) {
                     headless.preview(PhotoID{"/a.arw"}, EditParams{}, {}, done);
                 }),
                 MockRenderEngine::MockError);
    std::stop_source stopped;
    stopped.request_stop();
    EXPECT_THROW(
        await<OpenedPhoto>([&](auto done) { engine.open("/a.dng", stopped.get_token(), done); }),
        CancellationError);
}

TEST(MockRenderEngine, ExportsASmallGreyJpegOnlyWithoutASizeLimit) {
    MockRenderEngine engine;
    const auto exportAt = [&](double exposure, ExportFormat format) {
        EditParams params;
        params.exposure = exposure;
        ExportOptions options;
        options.format = format;
        options.quality = 0.9;
        return await<std::string>(
            [&](auto done) { engine.exportPhoto(PhotoID{"/a.dng"}, params, options, {}, done); });
    };
    const LinearImage grey = decodeJpeg(exportAt(0, ExportFormat::jpeg), 1);
    EXPECT_EQ(grey.width * 100 + grey.height, 6464);
    // sRGB 0.5 in linear light.
    EXPECT_NEAR(grey.rgba[0], std::pow((0.5 + 0.055) / 1.055, 2.4), 0.005);
    EXPECT_NEAR(decodeJpeg(exportAt(1, ExportFormat::jpeg), 1).rgba[0], 1.0, 0.005);
    EXPECT_THROW(exportAt(0, ExportFormat::dng), ExporterError);
}

}  // namespace
}  // namespace quillmere
