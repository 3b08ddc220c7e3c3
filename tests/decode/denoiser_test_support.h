#pragma once

#include <cstring>
#include <functional>
#include <memory>
#include <opencv2/core/mat.hpp>
#include <vector>

#include "core/decode/core_ml_denoiser.h"
#include "tests/decode/decode_test_support.h"

namespace quillmere::denoiser_testing {

using SampleFunction = std::function<float(int x, int y, int channel)>;

inline const Device& device() {
    static const Device shared;
    return shared;
}

// A packed sensor texture whose channel k at texel (x, y) is sample(x, y, k).
inline std::shared_ptr<Texture> makeSensorTexture(PixelFormat format, int width, int height,
                                                  const SampleFunction& sample) {
    return testing::makeTexture(device(), format, width, height, [&](int x, int y) {
        return msl::float4{sample(x, y, 0), sample(x, y, 1), sample(x, y, 2), sample(x, y, 3)};
    });
}

// Every sample, texel by texel and row by row, widened to floats.
inline std::vector<float> samplesOf(const Texture& texture) {
    std::vector<float> samples;
    for (const msl::float4& texel : testing::readTexels(texture)) {
        samples.insert(samples.end(), {texel.x, texel.y, texel.z, texel.w});
    }
    return samples;
}

// Samples spread over -0.5 ... 1.5, so some lie above 1 and some below 0.
inline float scatteredSample(int x, int y, int channel) {
    const unsigned hash = (static_cast<unsigned>(x) * 73856093u) ^
                          (static_cast<unsigned>(y) * 19349663u) ^
                          (static_cast<unsigned>(channel) * 83492791u);
    return static_cast<float>(hash % 2001u) / 1000.0f - 0.5f;
}

inline cv::Mat emptyPrediction(int tileSize) {
    const int shape[] = {1, 4, tileSize, tileSize};
    return cv::Mat(4, shape, CV_32F);
}

// A model that changes nothing: the four sample planes of its input.
inline cv::Mat identityPrediction(const cv::Mat& image) {
    const int tileSize = image.size[3];
    cv::Mat prediction = emptyPrediction(tileSize);
    std::memcpy(prediction.data, image.data, sizeof(float) * 4 * tileSize * tileSize);
    return prediction;
}

inline CoreMLDenoiser::Configuration configuration(int overlap) {
    return {"image", "denoised", overlap};
}

inline const CoreMLDenoiser::NoiseProfile kSomeNoise{{1e-4f, 2e-4f, 3e-4f, 4e-4f},
                                                     {1e-6f, 2e-6f, 3e-6f, 4e-6f}};

using testing::never;

}  // namespace quillmere::denoiser_testing
