#include "core/compute/texture.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillmere {
namespace {

static_assert(sizeof(msl::float4) == 4 * sizeof(float), "float4 rows must be packed floats");

// Rows of the two-channel half format are widened in chunks of this many texels.
constexpr std::size_t kConversionChunk = 256;

void checkRow(const Texture& texture, int y) {
    if (y < 0 || y >= texture.height()) {
        throw std::out_of_range("Row " + std::to_string(y) + " lies outside a texture of height " +
                                std::to_string(texture.height()) + ".");
    }
}

void checkSpan(const Texture& texture, int x, int y, std::size_t count) {
    checkRow(texture, y);
    if (x < 0 ||
        static_cast<std::int64_t>(x) + static_cast<std::int64_t>(count) > texture.width()) {
        throw std::out_of_range(
            "Texels " + std::to_string(x) + " to " +
            std::to_string(static_cast<std::int64_t>(x) + static_cast<std::int64_t>(count)) +
            " lie outside a texture of width " + std::to_string(texture.width()) + ".");
    }
}

}  // namespace

Texture::Texture(const TextureDescriptor& descriptor, DeviceMemory memory)
    : descriptor_(descriptor),
      memory_(std::move(memory)),
      rowStride_(static_cast<std::size_t>(descriptor.width) *
                 bytesPerPixel(descriptor.pixelFormat)) {
    if (descriptor.width < 1 || descriptor.height < 1 ||
        memory_.size() < rowStride_ * static_cast<std::size_t>(descriptor.height)) {
        throw std::invalid_argument("A texture needs a positive size and memory for every texel.");
    }
}

void Texture::checkRegion(const Region& region, std::size_t bytesPerRow) const {
    const bool inside = region.x >= 0 && region.y >= 0 && region.width >= 0 && region.height >= 0 &&
                        static_cast<std::int64_t>(region.x) + region.width <= width() &&
                        static_cast<std::int64_t>(region.y) + region.height <= height();
    if (!inside) throw std::invalid_argument("The region lies outside the texture.");
    if (bytesPerRow < static_cast<std::size_t>(region.width) * bytesPerPixel(pixelFormat())) {
        throw std::invalid_argument("bytesPerRow is shorter than one row of the region.");
    }
}

void Texture::replaceRegion(const Region& region, const void* bytes, std::size_t bytesPerRow) {
    checkRegion(region, bytesPerRow);
    const std::size_t rowLength =
        static_cast<std::size_t>(region.width) * bytesPerPixel(pixelFormat());
    const auto* source = static_cast<const std::byte*>(bytes);
    for (int row = 0; row < region.height; ++row) {
        std::memcpy(texelAddress(region.x, region.y + row),
                    source + static_cast<std::size_t>(row) * bytesPerRow, rowLength);
    }
}

void Texture::getBytes(void* bytes, std::size_t bytesPerRow, const Region& region) const {
    checkRegion(region, bytesPerRow);
    const std::size_t rowLength =
        static_cast<std::size_t>(region.width) * bytesPerPixel(pixelFormat());
    auto* destination = static_cast<std::byte*>(bytes);
    for (int row = 0; row < region.height; ++row) {
        std::memcpy(destination + static_cast<std::size_t>(row) * bytesPerRow,
                    texelAddress(region.x, region.y + row), rowLength);
    }
}

std::byte* Texture::rowData(int y) {
    checkRow(*this, y);
    return texelAddress(0, y);
}

const std::byte* Texture::rowData(int y) const {
    checkRow(*this, y);
    return texelAddress(0, y);
}

std::span<std::uint16_t> Texture::halfRow(int y) {
    if (!isHalfFloat(pixelFormat())) throw std::logic_error("The texture does not hold halves.");
    return {
        reinterpret_cast<std::uint16_t*>(rowData(y)),
        static_cast<std::size_t>(width()) * static_cast<std::size_t>(channelCount(pixelFormat()))};
}

std::span<const std::uint16_t> Texture::halfRow(int y) const {
    return const_cast<Texture*>(this)->halfRow(y);
}

std::span<float> Texture::floatRow(int y) {
    if (isHalfFloat(pixelFormat())) throw std::logic_error("The texture does not hold floats.");
    return {
        reinterpret_cast<float*>(rowData(y)),
        static_cast<std::size_t>(width()) * static_cast<std::size_t>(channelCount(pixelFormat()))};
}

std::span<const float> Texture::floatRow(int y) const {
    return const_cast<Texture*>(this)->floatRow(y);
}

void Texture::readRow(int x, int y, std::span<msl::float4> texels) const {
    checkSpan(*this, x, y, texels.size());
    const std::byte* start = texelAddress(x, y);
    const std::size_t count = texels.size();
    switch (pixelFormat()) {
        case PixelFormat::rgba16Float:
            convertHalfToFloat({reinterpret_cast<const std::uint16_t*>(start), 4 * count},
                               {reinterpret_cast<float*>(texels.data()), 4 * count});
            return;
        case PixelFormat::rg16Float: {
            const auto* halves = reinterpret_cast<const std::uint16_t*>(start);
            std::array<float, 2 * kConversionChunk> widened;
            for (std::size_t first = 0; first < count; first += kConversionChunk) {
                const std::size_t n = std::min(kConversionChunk, count - first);
                convertHalfToFloat({halves + 2 * first, 2 * n}, widened);
                for (std::size_t i = 0; i < n; ++i) {
                    texels[first + i] = {widened[2 * i], widened[2 * i + 1], 0.0f, 1.0f};
                }
            }
            return;
        }
        case PixelFormat::r32Float: {
            const auto* values = reinterpret_cast<const float*>(start);
            for (std::size_t i = 0; i < count; ++i) texels[i] = {values[i], 0.0f, 0.0f, 1.0f};
            return;
        }
        case PixelFormat::rgba32Float:
            std::memcpy(texels.data(), start, count * sizeof(msl::float4));
            return;
    }
}

void Texture::writeRow(int x, int y, std::span<const msl::float4> texels) {
    checkSpan(*this, x, y, texels.size());
    std::byte* start = texelAddress(x, y);
    const std::size_t count = texels.size();
    switch (pixelFormat()) {
        case PixelFormat::rgba16Float:
            convertFloatToHalf({reinterpret_cast<const float*>(texels.data()), 4 * count},
                               {reinterpret_cast<std::uint16_t*>(start), 4 * count});
            return;
        case PixelFormat::rg16Float: {
            auto* halves = reinterpret_cast<std::uint16_t*>(start);
            std::array<float, 2 * kConversionChunk> narrowed;
            for (std::size_t first = 0; first < count; first += kConversionChunk) {
                const std::size_t n = std::min(kConversionChunk, count - first);
                for (std::size_t i = 0; i < n; ++i) {
                    narrowed[2 * i] = texels[first + i].x;
                    narrowed[2 * i + 1] = texels[first + i].y;
                }
                convertFloatToHalf({narrowed.data(), 2 * n}, {halves + 2 * first, 2 * n});
            }
            return;
        }
        case PixelFormat::r32Float: {
            auto* values = reinterpret_cast<float*>(start);
            for (std::size_t i = 0; i < count; ++i) values[i] = texels[i].x;
            return;
        }
        case PixelFormat::rgba32Float:
            std::memcpy(start, texels.data(), count * sizeof(msl::float4));
            return;
    }
}

}  // namespace quillmere
