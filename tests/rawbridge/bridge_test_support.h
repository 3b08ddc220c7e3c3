#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "rawbridge/qx_raw.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere::rawbridge::testing {

// A test's own folder that writes synthetic DNGs.
class TemporaryFolder : public quillmere::testing::TemporaryFolder {
  public:
    // Writes a synthetic DNG named `name` and returns its path.
    std::string dng(const std::string& name, const fixtures::SyntheticDNGOptions& options) const {
        const std::filesystem::path file = path() / name;
        fixtures::writeSyntheticDNG(file, options);
        return file.string();
    }
};

inline std::string testData(const std::string& name) {
    return std::string(QUILLMERE_TEST_DATA_DIR) + "/" + name;
}

// The as-shot neutral (0.5, 1, 0.75) seen at half the range in green: a grey of 0.5 once
// white-balanced.
inline fixtures::SyntheticDNGOptions greyCard() {
    fixtures::SyntheticDNGOptions options;
    options.width = 64;
    options.height = 48;
    options.whiteLevel = 15000;
    options.blackLevels = {1000};
    options.iso = 200;
    options.scene = fixtures::flatScene(0.25f, 0.5f, 0.375f);
    return options;
}

struct BridgeFree {
    void operator()(void* pointer) const { qx_raw_free(pointer); }
};
template <typename T>
using BridgeBuffer = std::unique_ptr<T[], BridgeFree>;

// The outcome of one qx_raw_read through the 1024-byte error buffer the core uses.
struct SensorRead {
    std::int32_t result = 0;
    QXRAWMetadata metadata{};
    BridgeBuffer<float> plane;
    std::string error;

    float at(int x, int y, int channel) const {
        return plane[(static_cast<std::size_t>(y) * metadata.packed_width + x) * 4 + channel];
    }
};

inline SensorRead readSensor(const std::string& path) {
    SensorRead read;
    char error[1024] = {};
    float* plane = nullptr;
    read.result = qx_raw_read(path.c_str(), &read.metadata, &plane, error, sizeof error);
    read.plane.reset(plane);
    read.error = error;
    return read;
}

// The outcome of qx_raw_render or qx_raw_render_original (which alone gives the ISO).
struct Rendering {
    std::int32_t result = 0;
    BridgeBuffer<std::uint16_t> rgba;
    std::string error;
    int width = 0;
    int height = 0;
    float iso = 0.0f;

    // Channel `channel` of the pixel in buffer row `row` (row 0 is the bottom of the image).
    float at(int x, int row, int channel) const {
        const std::uint16_t bits = rgba[(static_cast<std::size_t>(row) * width + x) * 4 + channel];
        return static_cast<float>(std::bit_cast<_Float16>(bits));
    }
};

inline Rendering renderSensor(const std::string& path, const QXRAWMetadata& metadata,
                              const float* plane) {
    Rendering rendering;
    char error[1024] = {};
    std::uint16_t* rgba = nullptr;
    rendering.result = qx_raw_render(path.c_str(), &metadata, plane, &rgba, error, sizeof error);
    rendering.rgba.reset(rgba);
    rendering.error = error;
    rendering.width = metadata.output_width;
    rendering.height = metadata.output_height;
    return rendering;
}

inline Rendering developOriginal(const std::string& path) {
    Rendering rendering;
    char error[1024] = {};
    std::uint16_t* rgba = nullptr;
    std::int32_t info[3] = {};
    rendering.result = qx_raw_render_original(path.c_str(), info, &rgba, error, sizeof error);
    rendering.rgba.reset(rgba);
    rendering.error = error;
    rendering.width = info[0];
    rendering.height = info[1];
    std::memcpy(&rendering.iso, &info[2], sizeof rendering.iso);
    return rendering;
}

}  // namespace quillmere::rawbridge::testing
