#include <gtest/gtest.h>

#include <cmath>

#include "app/state/in_memory_preset_store.h"
#include "app/state/mock_render_engine.h"
#include "reader/jpeg/jpeg_file.h"
#include "tests/app/support/state_harness.h"

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

TEST(MockRenderEngine, DrawsAGradientAndAGreyJpegBrightenedByExposure) {
    MockRenderEngine engine;
    EXPECT_EQ(
        futureOf<OpenedPhoto>([&](auto done) { engine.open("/a.arw", {}, done); }).get().asShotTint,
        -1.3);
    const auto texel = [&](double exposure, int x, int y) {
        return engine.gradient(testing::exposed(exposure))->read(x, y);
    };
    EXPECT_EQ(texel(0, 0, 0), (msl::float4{0, 0, 0, 1}));
    EXPECT_EQ(texel(0, 255, 169), (msl::float4{1, 1, 1, 1}));
    // Doubled, green saturates where u + v reaches 1.
    EXPECT_EQ(texel(1, 255, 0).y, 1.0f);
    EXPECT_LT(texel(1, 127, 84).y, 1.0f);

    const auto grey = [&](double exposure) {
        const std::string jpeg =
            futureOf<std::string>([&](auto done) {
                engine.exportJPEG(PhotoID{"/a.dng"}, testing::exposed(exposure), 0.9, {}, done);
            }).get();
        return JpegFile(jpeg).decodeLinear(1);
    };
    const LinearImage half = grey(0);
    EXPECT_EQ(half.width * 100 + half.height, 6464);
    // sRGB 0.5 in linear light.
    EXPECT_NEAR(half.rgba[0], std::pow((0.5 + 0.055) / 1.055, 2.4), 0.005);
    EXPECT_NEAR(grey(1).rgba[0], 1.0, 0.005);
    EXPECT_THROW(MockRenderEngine(false).gradient({}), MockRenderEngine::MockError);
}

}  // namespace
}  // namespace quillmere
