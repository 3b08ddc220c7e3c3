#include "core/render/spot/spot_repair_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <utility>

#include "core/common/error.h"
#include "core/compute/compute_pass.h"
#include "core/compute/msl_math.h"
#include "core/photo/gpu_render_engine_error.h"
#include "core/render/spot/spot_repair_discs.h"
#include "core/render/spot/spot_repair_geometry.h"
#include "core/render/spot/spot_repair_mask.h"
#include "core/render/spot/spot_source_search.h"

namespace quillmere {
namespace {

constexpr const char* kFunctionName = "heal_spot";
constexpr const char* kPassLabel = "Heal sensor spot";
constexpr const char* kToolMissing = "Could not load the spot repair tool.";
constexpr const char* kPatchUnavailable = "Could not allocate a spot repair patch.";
constexpr const char* kPatchNotApplied = "Could not apply the spot repair patch.";
constexpr const char* kNoCleanSource =
    "No clean nearby patch fits this repair. Undo the last stroke and paint a smaller area.";

// The pixels a disc can change: its bounding box clipped to the image.
struct PatchBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Worked out in signed 64-bit with saturated conversions, and compared before anything is
// subtracted, so a disc far outside the image (or with a nonsensical radius) is skipped instead
// of wrapping around into a huge unsigned box.
std::optional<PatchBox> patchBox(msl::float2 target, float radius, int width, int height) {
    const auto toInt = [](float value) { return msl::saturatingConvert<std::int64_t>(value); };
    const std::int64_t left = std::max<std::int64_t>(toInt(std::floor(target.x - radius)), 0);
    const std::int64_t bottom = std::max<std::int64_t>(toInt(std::floor(target.y - radius)), 0);
    const std::int64_t right = std::min<std::int64_t>(toInt(std::ceil(target.x + radius)), width);
    const std::int64_t top = std::min<std::int64_t>(toInt(std::ceil(target.y + radius)), height);
    if (right <= left || top <= bottom) return std::nullopt;
    return PatchBox{static_cast<int>(left), static_cast<int>(bottom),
                    static_cast<int>(right - left), static_cast<int>(top - bottom)};
}

}  // namespace

SpotRepairKernel::SpotRepairKernel(std::shared_ptr<const Device> device,
                                   const KernelLibrary& library)
    : device(std::move(device)), pipeline(library.makePipeline(kFunctionName)) {
    if (!this->device) throw std::invalid_argument("The spot repair kernel needs a device.");
    if (!pipeline) throw GPURenderEngineError::renderFailed(kToolMissing);
}

std::vector<SpotRepairKernel::Placement> SpotRepairKernel::placements(
    const std::vector<SpotRepair>& repairs, const std::shared_ptr<const Texture>& reference,
    const std::function<bool()>& shouldCancel) {
    if (!reference || reference->pixelFormat() != PixelFormat::rgba16Float) {
        throw std::invalid_argument("Spot repair sources are searched on an RGBA16Float image.");
    }
    if (reference == cachedReference && repairs == cachedRepairs) return cachedPlacements;

    std::vector<SpotRepair> valid;
    std::copy_if(repairs.begin(), repairs.end(), std::back_inserter(valid),
                 [](const SpotRepair& repair) { return repair.isValid(); });
    const int width = reference->width();
    const int height = reference->height();
    const SpotRepairMask mask(valid, width, height, shouldCancel);
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) *
                                      static_cast<std::size_t>(height) * 4);
    reference->getBytes(pixels.data(), reference->bytesPerRow(), {0, 0, width, height});

    std::vector<Placement> found;
    for (const SpotRepair& repair : valid) {
        forEachSpotRepairDisc(repair, width, height, [&](const SpotRepair& disc) {
            if (shouldCancel()) throw CancellationError();
            std::optional<Placement> placement = findSpotRepairSource(disc, mask, pixels);
            if (!placement) throw GPURenderEngineError::renderFailed(kNoCleanSource);
            found.push_back(std::move(*placement));
        });
    }

    // Copies first, so that running out of memory cannot leave a half-updated cache.
    std::vector<SpotRepair> repairsCopy = repairs;
    std::vector<Placement> result = found;
    cachedReference = reference;
    cachedRepairs = std::move(repairsCopy);
    cachedPlacements = std::move(found);
    return result;
}

void SpotRepairKernel::encode(const std::vector<Placement>& placements,
                              const std::shared_ptr<Texture>& image, CommandBuffer& command) const {
    if (!image || image->pixelFormat() != PixelFormat::rgba16Float) {
        throw std::invalid_argument("Spots are healed into an RGBA16Float image.");
    }
    const int width = image->width();
    const int height = image->height();
    const msl::float2 size{static_cast<float>(width), static_cast<float>(height)};
    const auto shortSide = static_cast<float>(std::min(width, height));

    for (const Placement& placement : placements) {
        const float radius = shortSide * static_cast<float>(placement.repair.radius);
        const msl::float2 target =
            spotRepairPixelPosition(placement.repair.x, placement.repair.y, width, height);
        const std::optional<PatchBox> box = patchBox(target, radius, width, height);
        if (!box) continue;

        const std::shared_ptr<Texture> patch =
            device->makeTexture({.pixelFormat = PixelFormat::rgba16Float,
                                 .width = box->width,
                                 .height = box->height,
                                 .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
                                 .storageMode = StorageMode::devicePrivate});
        if (!patch) throw GPURenderEngineError::renderFailed(kPatchUnavailable);

        std::vector<msl::float2> samples;
        samples.reserve(placement.boundary.size());
        for (const msl::float2 point : placement.boundary) samples.push_back(point * size);
        const SpotUniforms uniforms{
            .target = target,
            .source = placement.source * size,
            .radius = radius,
            .originX = static_cast<std::uint32_t>(box->x),
            .originY = static_cast<std::uint32_t>(box->y),
            .sampleCount = static_cast<std::uint32_t>(
                std::min<std::size_t>(samples.size(), std::numeric_limits<std::uint32_t>::max())),
        };

        ComputePass(command, kPassLabel, pipeline,
                    GPURenderEngineError::renderFailed(kPatchUnavailable))
            .texture(HealSpotTexture::image, image)
            .texture(HealSpotTexture::patch, patch)
            .value(HealSpotBuffer::uniforms, uniforms)
            .array(HealSpotBuffer::boundary, std::span<const msl::float2>(samples))
            .dispatchThreads(*patch);

        const std::unique_ptr<BlitCommandEncoder> blit = command.makeBlitCommandEncoder();
        if (!blit) throw GPURenderEngineError::renderFailed(kPatchNotApplied);
        blit->copy(patch, {0, 0, box->width, box->height}, image, box->x, box->y);
        blit->endEncoding();
    }
}

}  // namespace quillmere
