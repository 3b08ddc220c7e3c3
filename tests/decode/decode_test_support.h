#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/compute/texture.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere::testing {

inline std::string testData(const std::string& name) {
    return std::string(QUILLMERE_TEST_DATA_DIR) + "/" + name;
}

inline bool never() { return false; }

// The code and sentence of the `ErrorType` that `action` throws; a failure when it throws none.
template <typename ErrorType, typename Action>
std::pair<typename ErrorType::Code, std::string> failureOf(Action&& action) {
    try {
        action();
    } catch (const ErrorType& error) {
        return {error.code(), error.what()};
    }
    ADD_FAILURE() << "no error";
    return {};
}

// Only the sentence, for errors whose code every caller ignores (and errors without a code).
template <typename ErrorType, typename Action>
std::string messageOf(Action&& action) {
    try {
        action();
    } catch (const ErrorType& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

// The photo readers this process started that run now: its children named quillmere-reader (a
// process's name is cut to 15 bytes).
inline std::vector<pid_t> readersOfThisProcess() {
    std::vector<pid_t> readers;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        // "PID (NAME) STATE PARENT ..."; the name may hold spaces and parentheses.
        const std::size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        pid_t parent = 0;
        rest >> state >> parent;
        if (parent == getpid() && line.substr(open + 1, close - open - 1) == "quillmere-reade") {
            readers.push_back(std::stoi(line.substr(0, open)));
        }
    }
    return readers;
}

// The texture is a decoder's texture (shared, shader read and write) of this format, size and
// label, and stores exactly the texels at `expected`: rows packed, row 0 first.
inline void expectDecodedTexture(const Texture& texture, PixelFormat format, int width, int height,
                                 const std::string& label, const void* expected) {
    EXPECT_EQ(texture.pixelFormat(), format);
    EXPECT_EQ(texture.storageMode(), StorageMode::shared);
    EXPECT_EQ(texture.usage(), TextureUsage::shaderRead | TextureUsage::shaderWrite);
    EXPECT_EQ(texture.label(), label);
    ASSERT_EQ(texture.width(), width);
    ASSERT_EQ(texture.height(), height);
    const std::vector<std::byte> bytes = readBytes(texture);
    EXPECT_EQ(std::memcmp(bytes.data(), expected, bytes.size()), 0);
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
