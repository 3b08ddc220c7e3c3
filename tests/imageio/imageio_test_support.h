#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "core/imageio/imageio_error.h"
#include "core/imageio/linear_image.h"
#include "reader/raster/raster_decoder.h"
#include "reader/raster/thumbnail.h"

namespace quillmere::testing_support {

// The linear light an 8-bit sRGB value stands for.
inline float linearFromSrgb(std::uint8_t value) {
    const double encoded = value / 255.0;
    return static_cast<float>(encoded <= 0.04045 ? encoded / 12.92
                                                 : std::pow((encoded + 0.055) / 1.055, 2.4));
}

// The pixel at `column` and `rowFromTop` of the upright image, whose rows are stored bottom first.
inline std::array<float, 4> pixelAt(const LinearImage& image, int column, int rowFromTop) {
    const std::size_t index = (static_cast<std::size_t>(image.height - 1 - rowFromTop) *
                                   static_cast<std::size_t>(image.width) +
                               static_cast<std::size_t>(column)) *
                              4;
    return {image.rgba[index], image.rgba[index + 1], image.rgba[index + 2], image.rgba[index + 3]};
}

// Whether `pixel` is opaque with each colour channel within `tolerance` of `expected`.
inline ::testing::AssertionResult isColour(const std::array<float, 4>& pixel,
                                           const std::array<float, 3>& expected, float tolerance) {
    const auto near = [&](int channel) {
        return std::fabs(pixel[channel] - expected[channel]) <= tolerance;
    };
    if (near(0) && near(1) && near(2) && pixel[3] == 1.0f) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel " << ::testing::PrintToString(pixel) << " is not "
           << ::testing::PrintToString(expected) << " within " << tolerance;
}

inline std::array<float, 3> linearColour(const std::array<std::uint8_t, 3>& srgb) {
    return {linearFromSrgb(srgb[0]), linearFromSrgb(srgb[1]), linearFromSrgb(srgb[2])};
}

// The code of the ImageIOError that `action` throws; fails the test when it throws none.
inline ImageIOError::Code errorCodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ImageIOError& error) {
        return error.code();
    }
    ADD_FAILURE() << "expected an ImageIOError";
    return ImageIOError::Code::encodingFailed;
}

// Decodes `original` with one byte damaged at every `step`th position from `first`: each must give
// a whole image or a clear refusal (an ImageIOError), never a crash or another error.
inline void expectEveryDamageDecodesOrIsRefused(const std::string& original, std::size_t first,
                                                std::size_t step) {
    for (std::size_t position = first; position < original.size(); position += step) {
        std::string damaged = original;
        damaged[position] = static_cast<char>(damaged[position] ^ 0x5A);
        try {
            const LinearImage image = decodeRasterData(damaged);
            EXPECT_EQ(image.rgba.size(), static_cast<std::size_t>(image.width) *
                                             static_cast<std::size_t>(image.height) * 4)
                << position;
        } catch (const ImageIOError&) {
        }
    }
}

// Why the decoder refuses `file` as damaged; the thumbnail must refuse it too.
inline std::string refusalOf(const std::string& file, bool isJpeg, const std::string& what) {
    EXPECT_FALSE(isJpeg ? Thumbnail::jpeg(file) : Thumbnail::heif(file)) << what;
    try {
        decodeRasterData(file);
    } catch (const ImageIOError& error) {
        EXPECT_EQ(error.code(), ImageIOError::Code::corruptImage) << what;
        return error.what();
    }
    ADD_FAILURE() << what << " was decoded";
    return {};
}

// How much the process's resident memory rose above where it stood, at its highest while
// `action` ran, in bytes. The kernel's peak is reset first, so an earlier peak hides nothing.
inline std::uint64_t peakGrowthDuring(const std::function<void()>& action) {
    const auto kibibytesOf = [](const char* field) -> std::uint64_t {
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with(field)) return std::stoull(line.substr(std::strlen(field)));
        }
        ADD_FAILURE() << "no " << field << " in /proc/self/status";
        return 0;
    };
    std::ofstream("/proc/self/clear_refs") << "5";
    const std::uint64_t before = kibibytesOf("VmRSS:");
    action();
    // Memory given back while `action` ran can leave the peak below where the count started.
    return (std::max(kibibytesOf("VmHWM:"), before) - before) * 1024;
}

}  // namespace quillmere::testing_support
