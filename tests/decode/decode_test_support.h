#pragma once

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "core/compute/texture.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere::testing {

inline std::string testData(const std::string& name) {
    return std::string(QUILLMERE_TEST_DATA_DIR) + "/" + name;
}

// Mean and standard deviation of one channel over a rectangle of texels.
struct ChannelStatistics {
    double mean = 0.0;
    double deviation = 0.0;
};

// Columns x ..< x + width of rows y ..< y + height (texture rows), channel `channel`.
inline ChannelStatistics statisticsOf(const Texture& texture, int channel, int x, int y, int width,
                                      int height) {
    const std::vector<msl::float4> texels = readTexels(texture);
    double sum = 0.0;
    double squares = 0.0;
    for (int row = y; row < y + height; ++row) {
        for (int column = x; column < x + width; ++column) {
            const double value =
                texels[static_cast<std::size_t>(row) * texture.width() + column][channel];
            sum += value;
            squares += value * value;
        }
    }
    const double count = static_cast<double>(width) * height;
    const double mean = sum / count;
    return {mean, std::sqrt(std::max(squares / count - mean * mean, 0.0))};
}

}  // namespace quillmere::testing
