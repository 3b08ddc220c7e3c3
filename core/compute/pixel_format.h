#pragma once

#include <cstddef>

namespace quillmere {

// How a texture stores one texel. Half-float formats hold IEEE binary16 values (see
// half_float.h); float formats hold native 32-bit floats. Channels are stored in order R, G, B, A.
enum class PixelFormat {
    rgba16Float,  // 8 bytes: four halves
    rg16Float,    // 4 bytes: two halves
    r32Float,     // 4 bytes: one float
    rgba32Float,  // 16 bytes: four floats
};

constexpr std::size_t bytesPerPixel(PixelFormat format) {
    switch (format) {
        case PixelFormat::rgba16Float:
            return 8;
        case PixelFormat::rg16Float:
            return 4;
        case PixelFormat::r32Float:
            return 4;
        case PixelFormat::rgba32Float:
            return 16;
    }
    return 0;
}

constexpr int channelCount(PixelFormat format) {
    switch (format) {
        case PixelFormat::rgba16Float:
            return 4;
        case PixelFormat::rg16Float:
            return 2;
        case PixelFormat::r32Float:
            return 1;
        case PixelFormat::rgba32Float:
            return 4;
    }
    return 0;
}

constexpr bool isHalfFloat(PixelFormat format) {
    return format == PixelFormat::rgba16Float || format == PixelFormat::rg16Float;
}

// What a texture may be used for, as bits (shader read and write together are 3).
enum class TextureUsage : unsigned {
    unknown = 0,
    shaderRead = 1,
    shaderWrite = 2,
    renderTarget = 4,
};

constexpr TextureUsage operator|(TextureUsage a, TextureUsage b) {
    return static_cast<TextureUsage>(static_cast<unsigned>(a) | static_cast<unsigned>(b));
}
constexpr bool contains(TextureUsage usage, TextureUsage bits) {
    return (static_cast<unsigned>(usage) & static_cast<unsigned>(bits)) ==
           static_cast<unsigned>(bits);
}

// Where a resource would live on a GPU: memory the host can read and write (shared), or memory
// private to the device. On the CPU device both are ordinary memory; the mode is kept because
// callers decide by it (a private texture is copied to a shared one before the host reads it).
enum class StorageMode {
    shared = 0,
    devicePrivate = 2,
};

}  // namespace quillmere
