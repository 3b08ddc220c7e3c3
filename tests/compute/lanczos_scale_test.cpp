#include "core/compute/lanczos_scale.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

// A 12 × 12 texture whose red follows a row of values along x and whose green follows it along y,
// scaled to other square sizes: each axis is filtered by itself, so red along x and green along y
// must give the row resampled with Lanczos-3 (computed with scripts/reference-values): centred on
// the source position (i + 0.5) / scale − 0.5, widened when shrinking, edge texels repeated.
TEST(LanczosScale, ResamplesEachAxisWithLanczosThree) {
    const float row[] = {0.0f, 0.0f, 1.0f, 0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 0.0f, 0.0f, 0.5f};
    const struct {
        int size;
        std::vector<float> expected;
    } cases[] = {
        {5, {0.219019f, 0.323627f, 0.64632f, 0.741717f, 0.151152f}},
        {8,
         {-0.0660935f, 0.62263f, 0.173593f, 0.401174f, 0.848449f, 0.988391f, -0.00584995f,
          0.325759f}},
        {12, {0.0f, 0.0f, 1.0f, 0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f, 0.0f, 0.0f, 0.5f}},
        {17,
         {0.0229272f, -0.144381f, 0.292243f, 0.999928f, 0.348231f, -0.0773092f, 0.288408f,
          0.459768f, 0.618886f, 0.802562f, 0.973659f, 1.13661f, 0.70793f, -0.0206613f, -0.117369f,
          0.242085f, 0.536608f}},
        {30, {0.0312264f, -0.023785f, -0.13587f,  -0.0709619f, 0.339734f,  0.855437f,
              0.977098f,  0.589674f,  0.0847565f, -0.092534f,  0.0803302f, 0.293125f,
              0.405571f,  0.479888f,  0.567842f,  0.671735f,   0.775766f,  0.872283f,
              0.970305f,  1.0932f,    1.12731f,   0.925015f,   0.506114f,  0.0795881f,
              -0.148203f, -0.12892f,  0.0528719f, 0.274457f,   0.465539f,  0.555829f}},
    };
    const Device device;
    const auto source =
        testing::makeTexture(device, PixelFormat::rgba32Float, 12, 12, [&](int x, int y) {
            return msl::float4{row[x], row[y], 0.5f, 1};
        });
    for (const auto& c : cases) {
        const auto destination =
            testing::makeTexture(device, PixelFormat::rgba32Float, c.size, c.size,
                                 [](int, int) { return msl::float4{}; });
        lanczosScale(*source, *destination);
        for (int i = 0; i < c.size; ++i) {
            for (int j = 0; j < c.size; j += 3) {
                const msl::float4 alongX = destination->read(i, j),
                                  alongY = destination->read(j, i);
                ASSERT_NEAR(alongX.x, c.expected[i], 1e-5f) << c.size << ": " << i << ", " << j;
                ASSERT_NEAR(alongY.y, c.expected[i], 1e-5f) << c.size << ": " << j << ", " << i;
                ASSERT_NEAR(alongX.z, 0.5f, 1e-6f);
            }
        }
    }
}

}  // namespace
}  // namespace quillmere
