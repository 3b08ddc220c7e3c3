#include "core/render/spot/spot_heal_shader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "core/compute/msl_math.h"
#include "core/compute/sampler.h"

namespace quillmere {
namespace {

// The disc is cloned in full out to this fraction of its radius and fades out beyond it.
constexpr float kFeatherStart = 0.72f;

struct BoundarySample {
    msl::float2 offset;      // from the disc's centre
    msl::float3 difference;  // image at the boundary point minus image at the same offset from
                             // the source
};

// The boundary points that lie at least half a pixel inside the image, with their colour
// differences. They are the same for every texel of the disc, so each call works them out once.
std::vector<BoundarySample> boundarySamples(const KernelArguments& arguments,
                                            const SpotUniforms& uniforms, const Texture& image) {
    std::vector<BoundarySample> samples;
    if (uniforms.sampleCount == 0) return samples;
    const std::span<const msl::float2> positions =
        arguments.array<msl::float2>(HealSpotBuffer::boundary);
    const std::size_t count = std::min<std::size_t>(uniforms.sampleCount, positions.size());
    const auto width = static_cast<float>(image.width());
    const auto height = static_cast<float>(image.height());
    for (const msl::float2 q : positions.first(count)) {
        if (q.x < 0.5f || q.y < 0.5f || q.x > width - 0.5f || q.y > height - 0.5f) continue;
        const msl::float2 offset = q - uniforms.target;
        samples.push_back({offset, samplePixel(image, q).xyz() -
                                       samplePixel(image, uniforms.source + offset).xyz()});
    }
    return samples;
}

void healSpot(const KernelArguments& arguments, RowRange rows) {
    const Texture& image = arguments.texture(HealSpotTexture::image);
    Texture& patch = arguments.texture(HealSpotTexture::patch);
    const auto uniforms = arguments.value<SpotUniforms>(HealSpotBuffer::uniforms);
    const std::vector<BoundarySample> samples = boundarySamples(arguments, uniforms, image);
    const auto originX = static_cast<int>(uniforms.originX);
    const auto originY = static_cast<int>(uniforms.originY);
    // Threads beyond the patch, or beyond the image, have nothing to do.
    const int columns =
        std::min({arguments.threadsPerGrid().width, patch.width(), image.width() - originX});
    const int lastRow = std::min({rows.end, patch.height(), image.height() - originY});

    for (int y = rows.begin; y < lastRow; ++y) {
        const int imageY = originY + y;
        const std::span<const std::uint16_t> imageRow = image.halfRow(imageY);
        const std::span<std::uint16_t> patchRow = patch.halfRow(y);
        for (int x = 0; x < columns; ++x) {
            const int imageX = originX + x;
            const msl::float2 p{static_cast<float>(imageX) + 0.5f,
                                static_cast<float>(imageY) + 0.5f};
            const msl::float2 offset = p - uniforms.target;
            const float d = msl::length(offset) / uniforms.radius;
            if (d >= 1.0f) {
                // Copied as stored, so a texel outside the disc keeps its exact bits.
                std::copy_n(imageRow.begin() + 4 * imageX, 4, patchRow.begin() + 4 * x);
                continue;
            }
            // A texel centre samples exactly that texel; reading it directly also keeps an
            // infinite or NaN neighbour out of it.
            const msl::float4 current = image.read(imageX, imageY);
            msl::float3 correction{};
            float total = 0;
            for (const BoundarySample& sample : samples) {
                const msl::float2 delta = (offset - sample.offset) / uniforms.radius;
                const float weight = 1.0f / msl::max(0.04f, msl::dot(delta, delta));
                correction += weight * sample.difference;
                total += weight;
            }
            const msl::float3 healed = samplePixel(image, uniforms.source + offset).xyz() +
                                       correction / msl::max(total, 0.0001f);
            const float amount = 1.0f - msl::smoothstep(kFeatherStart, 1.0f, d);
            patch.write(msl::float4(msl::mix(current.xyz(), msl::clamp(healed, 0.0f, 1.0f), amount),
                                    current.w),
                        x, y);
        }
    }
}

}  // namespace

KernelLibrary makeSpotHealingKernelLibrary() {
    KernelLibrary library;
    library.add("heal_spot", healSpot);
    return library;
}

}  // namespace quillmere
