#include <gtest/gtest.h>

#include <cmath>

#include "app/state/in_memory_preset_store.h"
#include "app/state/mock_render_engine.h"
#include "core/imageio/jpeg_decoder.h"

namespace quillmere {
namespace {

TEST(InMemoryPresetStore, TrimsNamesAndGuardsBuiltInFolders) {
    InMemoryPresetStore presets(std::vector<PresetFolder>{{.name = "Film", .presets = {}}});
    presets.save({"  Zeta \n", "Mine", {.exposure = 1}});
    EXPECT_THROW(presets.save({"New", "Film", {}}), PresetStoreError);
    EXPECT_THROW(presets.save({" \t", "Mine", {}}), PresetStoreError);
    EXPECT_EQ(presets.folders().back().presets,
              (std::vector<Preset>{{"Zeta", "Mine", {.exposure = 1}}}));
}

template <class T, class Start>
T await(Start start) {
    return futureOf<T>(start).get();
}

TEST(MockRenderEngine, DrawsAGradientAndAGreyJpegBrightenedByExposure) {
    MockRenderEngine engine;
    EXPECT_EQ(await<OpenedPhoto>([&](auto done) { engine.open("/a.arw", {}, done); }).asShotTint,
              -1.3);
    const auto texel = [&](double exposure, int x, int y) {
        EditParams params;
        params.exposure = exposure;
        return await<RenderEngine::TexturePointer>([&](auto done) {
                   engine.preview(PhotoID{"/a.arw"}, params, PreviewResolution::full, {}, done);
               })
            ->read(x, y);
    };
    EXPECT_EQ(texel(0, 0, 0).x + texel(0, 0, 0).y + texel(0, 0, 0).z, 0.0f);
    EXPECT_EQ(texel(0, 255, 169).y + texel(0, 255, 169).w, 2.0f);
    // Doubled, red saturates from the middle column, blue from the middle row, green where
    // u + v reaches 1.
    EXPECT_LT(texel(1, 127, 169).x, 1.0f);
    EXPECT_EQ(texel(1, 128, 0).x, 1.0f);
    EXPECT_LT(texel(1, 255, 84).z, 1.0f);
    EXPECT_EQ(texel(1, 0, 85).z, 1.0f);
    EXPECT_EQ(texel(1, 255, 0).y, 1.0f);
    EXPECT_LT(texel(1, 127, 84).y, 1.0f);

    const auto jpeg = [&](double exposure) {
        EditParams params;
        params.exposure = exposure;
        return decodeJpeg(await<std::string>([&](auto done) {
                              engine.exportJPEG(PhotoID{"/a.dng"}, params, 0.9, {}, done);
                          }),
                          1);
    };
    const LinearImage grey = jpeg(0);
    EXPECT_EQ(grey.width * 100 + grey.height, 6464);
    // sRGB 0.5 in linear light.
    EXPECT_NEAR(grey.rgba[0], std::pow((0.5 + 0.055) / 1.055, 2.4), 0.005);
    EXPECT_NEAR(jpeg(1).rgba[0], 1.0, 0.005);
    MockRenderEngine headless(false);
    EXPECT_THROW(await<RenderEngine::TexturePointer>([&](auto done) {
                     headless.preview(PhotoID{"/a.arw"}, EditParams{}, {}, done);
                 }),
                 MockRenderEngine::MockError);
}

}  // namespace
}  // namespace quillmere
