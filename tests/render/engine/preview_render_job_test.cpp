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

TEST_F(PreviewRenderJobTest, OutputIsANewDisplayEncodedTextureOfTheSourceSize) {
    const TexturePointer fit = render(neutral());
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->width(), 2048);
    EXPECT_EQ(fit->height(), 1365);
    EXPECT_EQ(fit->pixelFormat(), PixelFormat::rgba16Float);
    EXPECT_EQ(fit->usage(), TextureUsage::shaderRead | TextureUsage::shaderWrite);
    EXPECT_EQ(fit->storageMode(), StorageMode::shared);

    // Linear 0.18 grey comes out as a neutral display-encoded mid grey.
    const msl::float4 centre = fit->read(1024, 682);
    EXPECT_NEAR(centre.x, centre.y, 0.01);
    EXPECT_NEAR(centre.z, centre.y, 0.01);
    EXPECT_GT(centre.y, 0.35);
    EXPECT_LT(centre.y, 0.6);

    // Never the loader's texture, never one handed out before.
    const TexturePointer again = render(neutral());
    EXPECT_NE(again, fit);
    for (const auto& call : loader->recordedTextureCalls()) {
        EXPECT_NE(loader->texture(photo, call.denoised, call.resolution, call.method,
                                  call.preserveRAWTexture, [] { return false; }, {}),
                  again);
    }

    const TexturePointer full = render(neutral(), PreviewResolution::full);
    EXPECT_EQ(full->width(), 3000);
    EXPECT_EQ(full->height(), 2000);
}

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

TEST_F(PreviewRenderJobTest, DenoiseBlendsTowardsTheCleanTexture) {
    // The denoised variant is brighter, so the blend shows how much of it the tone pass used.
    loader->scene = [](bool denoised, double, double) {
        const float value = denoised ? 0.5f : 0.1f;
        return msl::float4{value, value, value, 1};
    };
    EditParams edit = neutral();
    const float none = render(edit)->read(10, 10).y;
    edit.denoise = 100;
    const float all = render(edit)->read(10, 10).y;
    edit.denoise = 50;
    const float half = render(edit)->read(10, 10).y;
    EXPECT_GT(all, none + 0.2);
    EXPECT_GT(half, none + 0.05);
    EXPECT_LT(half, all - 0.05);
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
