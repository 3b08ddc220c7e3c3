#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/common/error.h"
#include "core/photo/gpu_render_engine_error.h"
#include "core/render/engine/gpu_render_engine.h"
#include "tests/render/engine/spy_photo_loader.h"

namespace quillmere {
namespace {

using testing::SpyPhotoLoader;
using TexturePointer = RenderEngine::TexturePointer;

// The engine with the real develop kernels over a spy loader.
class PreviewRenderJobTest : public ::testing::Test {
  protected:
    void SetUp() override { makeEngine(std::make_shared<Device>()); }

    void makeEngine(std::shared_ptr<const Device> device) {
        engine.reset();
        GPURenderEngine::Collaborators collaborators =
            GPURenderEngine::standardCollaborators(device);
        collaborators.loader = loader;
        engine = std::make_unique<GPURenderEngine>(std::move(device), std::move(collaborators));
    }

    TexturePointer render(const EditParams& edit,
                          PreviewResolution resolution = PreviewResolution::fit) {
        return futureOf<TexturePointer>(
                   [&](auto done) { engine->preview(photo, edit, resolution, {}, done); })
            .get();
    }

    // The neutral edit of the spy's photo: its as-shot white balance, nothing else.
    static EditParams neutral() { return EditParams::neutral(5000, 10); }

    std::shared_ptr<SpyPhotoLoader> loader = std::make_shared<SpyPhotoLoader>(3000, 2000);
    std::unique_ptr<GPURenderEngine> engine;
    const PhotoID photo{"/photos/wide.dng"};
};

TEST_F(PreviewRenderJobTest, AnOutputNobodyHoldsIsRenderedIntoAgainButNoFullSizeOneIsKept) {
    TexturePointer first = render(neutral());
    const Texture* const address = first.get();
    first.reset();
    EditParams brighter = neutral();
    brighter.exposure = 1;
    const TexturePointer reused = render(brighter);
    EXPECT_EQ(reused.get(), address);
    const TexturePointer fresh = render(brighter);  // the reused one is held: a new one
    ASSERT_NE(fresh, reused);
    for (int y = 0; y < fresh->height(); ++y) {
        ASSERT_EQ(std::memcmp(fresh->rowData(y), reused->rowData(y), fresh->bytesPerRow()), 0) << y;
    }

    const std::weak_ptr<Texture> full = render(neutral(), PreviewResolution::full);
    EXPECT_TRUE(full.expired());
}

TEST_F(PreviewRenderJobTest, SpotRepairsHealTheDevelopedImage) {
    // A dark blot in a flat field, centred a quarter from the top and a third from the left.
    loader->scene = [](bool, double u, double v) {
        const double dx = (u - 1.0 / 3) * 1.5;  // the photo is 3:2
        const double dy = v - 0.75;             // rows count from the bottom
        const float value = std::hypot(dx, dy) < 0.02 ? 0.01f : 0.3f;
        return msl::float4{value, value, value, 1};
    };
    EditParams edit = neutral();
    const TexturePointer blotted = render(edit);
    const int x = 2048 / 3;
    const int y = 1365 * 3 / 4;
    const float field = blotted->read(50, 50).y;
    EXPECT_LT(blotted->read(x, y).y, field - 0.2);

    edit.spotRepairs.push_back(SpotRepair(UUID::random(), 1.0 / 3, 0.25, 0.05, {}));
    const TexturePointer healed = render(edit);
    EXPECT_NEAR(healed->read(x, y).y, field, 0.02);
    // Full size heals the same place.
    const TexturePointer healedFull = render(edit, PreviewResolution::full);
    EXPECT_NEAR(healedFull->read(1000, 1500).y, field, 0.02);
}

TEST_F(PreviewRenderJobTest, SharpeningScalesItsRadiusWithTheRendersShareOfThePhoto) {
    // The fit render of the 3000 px wide photo is 2048 px wide: its radius 3 sharpens as radius
    // 3 × 2048 / 3000 does on a photo of the render's own size. A soft wave of 10 render pixels,
    // whose sharpening depends on the radius (a hard edge's is bounded alike at any radius).
    const auto wave = [](bool, double u, double) {
        const float v = 0.2f + 0.05f * static_cast<float>(std::sin(u * 2048 / 10 * 2 * M_PI));
        return msl::float4{v, v, v, 1};
    };
    loader->scene = wave;
    EditParams edit = neutral();
    edit.sharpening = {.amount = 150, .radius = 3, .detail = 50, .masking = 0};
    const TexturePointer wide = render(edit);
    loader = std::make_shared<SpyPhotoLoader>(2048, 1365);
    loader->scene = wave;
    makeEngine(std::make_shared<Device>());
    edit.sharpening.radius = 3.0 * 2048 / 3000;
    const TexturePointer fitting = render(edit);
    for (int x = 100; x < 120; ++x) {
        EXPECT_NEAR(wide->read(x, 600).y, fitting->read(x, 600).y, 1e-3f) << x;
    }
}

TEST_F(PreviewRenderJobTest, AnOutputTooLargeForTheDeviceIsReportedWithThePhotosSize) {
    // The device can hold a fit render (2048 × 1365 × 8 bytes) but not a full one.
    makeEngine(std::make_shared<Device>(std::size_t{24} << 20));
    EXPECT_EQ(render(neutral())->width(), 2048);
    try {
        render(neutral(), PreviewResolution::full);
        ADD_FAILURE() << "the full render succeeded";
    } catch (const GPURenderEngineError& error) {
        EXPECT_EQ(error.code(), GPURenderEngineError::Code::textureAllocationFailed);
        EXPECT_EQ(error.width(), 3000);
        EXPECT_EQ(error.height(), 2000);
        EXPECT_STREQ(error.what(), "Could not allocate a 3000 \u00D7 2000 image.");
    }
}

}  // namespace
}  // namespace quillmere
