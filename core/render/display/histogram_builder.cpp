#include "core/render/display/histogram_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <exception>
#include <span>

#include "core/compute/half_float.h"

namespace quillmere {
namespace {

using Counts = std::array<std::int64_t, HistogramData::binCount>;

// The bin of a half value: the nearest of the 64 levels k / 63, halves rounding up, with
// everything at or below 0 in the first bin and everything at or above 1 in the last. A NaN has
// no nearest level; it goes to the first bin rather than into an undefined integer conversion.
std::uint8_t binOf(std::uint16_t half) {
    const float value = halfToFloat(half);
    if (std::isnan(value) || value <= 0.0f) return 0;
    if (value >= 1.0f) return HistogramData::binCount - 1;
    return static_cast<std::uint8_t>(value * 63.0f + 0.5f);
}

// Bins are decided on the stored 16-bit value, so one table of every half answers them all.
const std::array<std::uint8_t, 65536>& binTable() {
    static const std::array<std::uint8_t, 65536> table = [] {
        std::array<std::uint8_t, 65536> bins{};
        for (std::size_t half = 0; half < bins.size(); ++half) {
            bins[half] = binOf(static_cast<std::uint16_t>(half));
        }
        return bins;
    }();
    return table;
}

// One scale for all three channels, so that they stay comparable. The reciprocal is taken once
// and multiplied, which leaves the peak bin at 1 or just below it.
HistogramData normalize(const Counts& r, const Counts& g, const Counts& b) {
    const std::int64_t peak =
        std::max({*std::max_element(r.begin(), r.end()), *std::max_element(g.begin(), g.end()),
                  *std::max_element(b.begin(), b.end())});
    if (peak < 1) return HistogramData::empty;
    const float factor = 1.0f / static_cast<float>(peak);
    HistogramData histogram;
    for (std::size_t k = 0; k < HistogramData::binCount; ++k) {
        histogram.r[k] = static_cast<float>(r[k]) * factor;
        histogram.g[k] = static_cast<float>(g[k]) * factor;
        histogram.b[k] = static_cast<float>(b[k]) * factor;
    }
    return histogram;
}

}  // namespace

HistogramBuilder::HistogramBuilder(std::int64_t stride)
    : stride_(std::max<std::int64_t>(stride, 1)) {}

HistogramData HistogramBuilder::histogram(const std::shared_ptr<Texture>& texture) {
    if (!texture || texture->width() < 1 || texture->height() < 1 ||
        texture->pixelFormat() != PixelFormat::rgba16Float) {
        return HistogramData::empty;
    }
    if (texture->storageMode() != StorageMode::devicePrivate) return bin(*texture);
    const std::shared_ptr<const Texture> copy = blitToShared(texture);
    return copy ? bin(*copy) : HistogramData::empty;
}

std::shared_ptr<const Texture> HistogramBuilder::blitToShared(
    const std::shared_ptr<Texture>& texture) {
    try {
        if (!device) device = std::make_unique<Device>();
        if (!commandQueue) commandQueue = device->makeCommandQueue();
        if (!commandQueue) return nullptr;
        if (!staging || staging->width() != texture->width() ||
            staging->height() != texture->height() ||
            staging->pixelFormat() != texture->pixelFormat()) {
            staging = device->makeTexture({.pixelFormat = texture->pixelFormat(),
                                           .width = texture->width(),
                                           .height = texture->height(),
                                           .usage = TextureUsage::shaderRead,
                                           .storageMode = StorageMode::shared});
            if (!staging) return nullptr;
        }
        const std::shared_ptr<CommandBuffer> commandBuffer = commandQueue->makeCommandBuffer();
        if (!commandBuffer) return nullptr;
        const std::unique_ptr<BlitCommandEncoder> blit = commandBuffer->makeBlitCommandEncoder();
        if (!blit) return nullptr;
        blit->copy(texture, {0, 0, texture->width(), texture->height()}, staging, 0, 0);
        blit->endEncoding();
        commandBuffer->commit();
        commandBuffer->waitUntilCompleted();
        if (commandBuffer->error()) return nullptr;
        return staging;
    } catch (const std::exception&) {
        // The histogram is a convenience: a failed copy shows an empty one, never an error.
        return nullptr;
    }
}

HistogramData HistogramBuilder::bin(const Texture& texture) const {
    const std::array<std::uint8_t, 65536>& bins = binTable();
    Counts r{};
    Counts g{};
    Counts b{};
    const std::int64_t width = texture.width();
    for (std::int64_t y = 0; y < texture.height(); y += stride_) {
        const std::span<const std::uint16_t> row = texture.halfRow(static_cast<int>(y));
        for (std::int64_t x = 0; x < width; x += stride_) {
            const std::uint16_t* texel = row.data() + 4 * x;  // alpha is not counted
            ++r[bins[texel[0]]];
            ++g[bins[texel[1]]];
            ++b[bins[texel[2]]];
        }
    }
    return normalize(r, g, b);
}

}  // namespace quillmere
