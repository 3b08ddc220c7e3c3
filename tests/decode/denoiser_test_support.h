#pragma once

#include <cstring>
#include <functional>
#include <opencv2/core/mat.hpp>
#include <vector>

#include "core/decode/core_ml_denoiser.h"
#include "core/decode/packed_plane.h"

namespace quillmere::denoiser_testing {

using SampleFunction = std::function<float(int x, int y, int channel)>;

inline PackedPlane makePlane(PackedPixelFormat format, int width, int height,
                             const SampleFunction& sample) {
    PackedPlane plane(format, width, height);
    std::vector<float> row(static_cast<std::size_t>(width) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int k = 0; k < 4; ++k) {
                row[static_cast<std::size_t>(x) * 4 + k] = sample(x, y, k);
            }
        }
        plane.replaceRows(y, 1, row.data());
    }
    return plane;
}

inline std::vector<float> samplesOf(const PackedPlane& plane) {
    std::vector<float> samples(static_cast<std::size_t>(plane.width()) * plane.height() * 4);
    plane.getRegion(0, 0, plane.width(), plane.height(), samples.data());
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

inline bool never() { return false; }

}  // namespace quillmere::denoiser_testing
