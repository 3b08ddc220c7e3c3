#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "core/compute/device_memory.h"
#include "core/compute/half_float.h"
#include "core/compute/msl_vector.h"
#include "core/compute/pixel_format.h"

namespace quillmere {

// What a texture is made with (Device::makeTexture). Textures are two-dimensional with one
// mipmap level.
struct TextureDescriptor {
    PixelFormat pixelFormat = PixelFormat::rgba16Float;
    int width = 0;
    int height = 0;
    TextureUsage usage = TextureUsage::shaderRead;
    StorageMode storageMode = StorageMode::shared;
};

// A rectangle of texels: columns x ..< x + width of rows y ..< y + height.
struct Region {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// A two-dimensional image on the compute device, made by Device::makeTexture and handed out as a
// std::shared_ptr; the device never reuses one, so the pointer is the texture's identity.
//
// Row order: row 0 of an RGB image texture is the image's BOTTOM row (y grows upwards, as the
// develop kernels' coordinates assume), so every decoder fills RGB textures bottom-up and the
// JPEG writer flips them back. Packed sensor textures (2 × 2 Bayer quads in R, G1, B, G2) are the
// exception: their row 0 is the sensor's top row.
//
// Host access (replaceRegion, getBytes) copies raw texels in the texture's own format. Kernel
// access is by row: rowData/halfRow/floatRow give the stored values without conversion, and
// readRow/writeRow convert whole rows to and from float4 with the vector unit, which is how hot
// passes should touch every texel. read/write convert one texel at a time for sampling and
// neighbourhood reads. Reading a texel yields (r, g, b, a) with absent channels as 0 and absent
// alpha as 1, as a GPU read does; writing stores the channels the format has.
//
// A texture is not synchronised: within one pass each texel is written by one row task only, and
// a pass never reads a texture it writes.
class Texture {
  public:
    Texture(const TextureDescriptor& descriptor, DeviceMemory memory);

    PixelFormat pixelFormat() const { return descriptor_.pixelFormat; }
    int width() const { return descriptor_.width; }
    int height() const { return descriptor_.height; }
    TextureUsage usage() const { return descriptor_.usage; }
    StorageMode storageMode() const { return descriptor_.storageMode; }
    const std::string& label() const { return label_; }
    void setLabel(std::string label) { label_ = std::move(label); }

    // Bytes between the starts of two stored rows (rows are packed without padding).
    std::size_t bytesPerRow() const { return rowStride_; }

    // Copies `region` from or to host memory whose rows lie `bytesPerRow` bytes apart. Throws
    // std::invalid_argument when the region leaves the texture or bytesPerRow is too small.
    void replaceRegion(const Region& region, const void* bytes, std::size_t bytesPerRow);
    void getBytes(void* bytes, std::size_t bytesPerRow, const Region& region) const;

    // Stored row y; throw std::out_of_range for a row outside the texture and
    // std::logic_error when the format does not hold halves (halfRow) or floats (floatRow).
    std::byte* rowData(int y);
    const std::byte* rowData(int y) const;
    std::span<std::uint16_t> halfRow(int y);
    std::span<const std::uint16_t> halfRow(int y) const;
    std::span<float> floatRow(int y);
    std::span<const float> floatRow(int y) const;

    // Converts texels.size() texels starting at (x, y); throws std::out_of_range when they do not
    // all lie in the texture.
    void readRow(int x, int y, std::span<msl::float4> texels) const;
    void writeRow(int x, int y, std::span<const msl::float4> texels);

    // One texel. Outside the texture a read gives zero and a write is dropped, so a kernel's
    // stray coordinate can never touch memory beyond the image.
    msl::float4 read(int x, int y) const;
    void write(msl::float4 texel, int x, int y);

  private:
    bool contains(int x, int y) const {
        return static_cast<unsigned>(x) < static_cast<unsigned>(descriptor_.width) &&
               static_cast<unsigned>(y) < static_cast<unsigned>(descriptor_.height);
    }
    std::byte* texelAddress(int x, int y) const {
        return memory_.data() + static_cast<std::size_t>(y) * rowStride_ +
               static_cast<std::size_t>(x) * bytesPerPixel(descriptor_.pixelFormat);
    }
    void checkRegion(const Region& region, std::size_t bytesPerRow) const;

    TextureDescriptor descriptor_;
    DeviceMemory memory_;
    std::size_t rowStride_;
    std::string label_;
};

inline msl::float4 Texture::read(int x, int y) const {
    if (!contains(x, y)) return {};
    const std::byte* texel = texelAddress(x, y);
    switch (descriptor_.pixelFormat) {
        case PixelFormat::rgba16Float: {
            std::uint16_t h[4];
            std::memcpy(h, texel, sizeof h);
            return {halfToFloat(h[0]), halfToFloat(h[1]), halfToFloat(h[2]), halfToFloat(h[3])};
        }
        case PixelFormat::rg16Float: {
            std::uint16_t h[2];
            std::memcpy(h, texel, sizeof h);
            return {halfToFloat(h[0]), halfToFloat(h[1]), 0.0f, 1.0f};
        }
        case PixelFormat::r32Float: {
            float f;
            std::memcpy(&f, texel, sizeof f);
            return {f, 0.0f, 0.0f, 1.0f};
        }
        case PixelFormat::rgba32Float: {
            msl::float4 f;
            std::memcpy(&f, texel, sizeof f);
            return f;
        }
    }
    return {};
}

inline void Texture::write(msl::float4 texel, int x, int y) {
    if (!contains(x, y)) return;
    std::byte* address = texelAddress(x, y);
    switch (descriptor_.pixelFormat) {
        case PixelFormat::rgba16Float: {
            const std::uint16_t h[4] = {floatToHalf(texel.x), floatToHalf(texel.y),
                                        floatToHalf(texel.z), floatToHalf(texel.w)};
            std::memcpy(address, h, sizeof h);
            return;
        }
        case PixelFormat::rg16Float: {
            const std::uint16_t h[2] = {floatToHalf(texel.x), floatToHalf(texel.y)};
            std::memcpy(address, h, sizeof h);
            return;
        }
        case PixelFormat::r32Float:
            std::memcpy(address, &texel.x, sizeof texel.x);
            return;
        case PixelFormat::rgba32Float:
            std::memcpy(address, &texel, sizeof texel);
            return;
    }
}

}  // namespace quillmere
