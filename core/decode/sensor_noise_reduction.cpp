#include "core/decode/sensor_noise_reduction.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace quillmere {
namespace {

// The bridge's noise fit gives a channel with fewer flat patches than this no profile of its own.
constexpr std::int32_t kFittedPatches = 32;

float usable(float value) { return std::isfinite(value) && value > 0.0f ? value : 0.0f; }

// The packed plane as luma (mean of the quad), detail (G1 − G2) and chroma (R − G, B − G, with
// G the mean of the greens).
class SensorPlaneImage final : public LumaChromaImage {
  public:
    SensorPlaneImage(const float* source, float* destination, int width, int height,
                     const SensorNoiseProfile& noise)
        : source_(source),
          destination_(destination),
          width_(width),
          height_(height),
          noise_(noise) {}

    int width() const override { return width_; }
    int height() const override { return height_; }
    bool hasDetail() const override { return true; }

    void readRow(int y, const LumaChromaRow& row) const override {
        const float* quad = source_ + static_cast<std::size_t>(y) * width_ * 4;
        for (int x = 0; x < width_; ++x, quad += 4) {
            const float green = 0.5f * (quad[1] + quad[3]);
            row.luma[x] = 0.25f * (quad[0] + quad[1] + quad[2] + quad[3]);
            row.chroma1[x] = quad[0] - green;
            row.chroma2[x] = quad[2] - green;
            row.detail[x] = quad[1] - quad[3];
        }
    }

    void noiseVariances(int count, const ConstLumaChromaRow& values, float* luma, float* chroma1,
                        float* chroma2) const override {
        for (int x = 0; x < count; ++x) {
            float quad[4];
            toQuad(values.luma[x], values.chroma1[x], values.chroma2[x], values.detail[x], quad);
            float variance[4];
            for (int channel = 0; channel < 4; ++channel) {
                variance[channel] = signalDependentVariance(noise_.read[channel],
                                                            noise_.shot[channel], quad[channel]);
            }
            const float green = 0.25f * (variance[1] + variance[3]);
            luma[x] = (variance[0] + variance[1] + variance[2] + variance[3]) / 16.0f;
            chroma1[x] = variance[0] + green;
            chroma2[x] = variance[2] + green;
        }
    }

    void writeRow(int y, const ConstLumaChromaRow& row) override {
        float* quad = destination_ + static_cast<std::size_t>(y) * width_ * 4;
        for (int x = 0; x < width_; ++x, quad += 4) {
            toQuad(row.luma[x], row.chroma1[x], row.chroma2[x], row.detail[x], quad);
        }
    }

  private:
    static void toQuad(float luma, float chroma1, float chroma2, float detail, float quad[4]) {
        const float green = luma - 0.25f * (chroma1 + chroma2);
        quad[0] = chroma1 + green;
        quad[1] = green + 0.5f * detail;
        quad[2] = chroma2 + green;
        quad[3] = green - 0.5f * detail;
    }

    const float* source_;
    float* destination_;
    int width_;
    int height_;
    SensorNoiseProfile noise_;
};

}  // namespace

SensorNoiseProfile SensorNoiseProfile::fromMetadata(const QXRAWMetadata& metadata) {
    SensorNoiseProfile profile;
    float fittedShot = 0.0f;
    float fittedRead = 0.0f;
    int fitted = 0;
    for (int channel = 0; channel < 4; ++channel) {
        profile.shot[channel] = usable(metadata.noise_shot[channel]);
        profile.read[channel] = usable(metadata.noise_read_variance[channel]);
        if (metadata.noise_samples[channel] >= kFittedPatches) {
            fittedShot += profile.shot[channel];
            fittedRead += profile.read[channel];
            ++fitted;
        }
    }
    if (fitted == 0 || fitted == 4) return profile;
    for (int channel = 0; channel < 4; ++channel) {
        if (metadata.noise_samples[channel] >= kFittedPatches) continue;
        profile.shot[channel] = fittedShot / static_cast<float>(fitted);
        profile.read[channel] = fittedRead / static_cast<float>(fitted);
    }
    return profile;
}

void reduceSensorNoise(const float* source, float* destination, int packedWidth, int packedHeight,
                       const SensorNoiseProfile& noise, NoiseReductionAmounts amounts) {
    SensorPlaneImage image(source, destination, packedWidth, packedHeight, noise);
    reduceNoise(image, amounts);
}

}  // namespace quillmere
