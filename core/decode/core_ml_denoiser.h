#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core/mat.hpp>
#include <span>
#include <string>
#include <vector>

#include "core/compute/device.h"
#include "core/compute/texture.h"

namespace quillmere {

// The "Detail" denoiser: runs a neural model over the packed Bayer texture of a RAW photo (2 x 2
// quads as R, G1, B, G2 texels, rows top down, normalised to 0...1). The model
// takes square tiles of one fixed size, so the texture is cut into overlapping tiles (reading past
// the borders by reflection), each tile goes in with the noise level of every sample, and the
// predicted tiles are blended back with smooth feathering weights. Finished rows are written out as
// soon as no later tile touches them, so memory stays at one tile and one band of tile rows.
//
// One denoiser serves one call at a time: `denoise` holds the object's lock for the whole call.
class CoreMLDenoiser {
  public:
    // Names of the model's tensors and the texels neighbouring tiles share.
    struct Configuration {
        std::string imageInputName;
        std::string outputName;
        int overlap;
    };

    // The sensor noise of channels R, G1, B, G2: a sample of value x in channel c has the variance
    // readVariance[c] + shot[c] * x.
    struct NoiseProfile {
        std::array<float, 4> shot;
        std::array<float, 4> readVariance;
    };

    // One model evaluation: from a Float32 tensor [1, 8, t, t] (planes 0 to 3 the clamped samples,
    // planes 4 to 7 their noise standard deviations) to a tensor that should be Float32
    // [1, 4, t, t] with any positive strides.
    using Predictor = std::function<cv::Mat(const cv::Mat& image)>;

    // Loads the ONNX model at `modelURL`, checks that it takes exactly one Float32 input
    // [1, 8, t, t] and gives a Float32 output [1, 4, t, t] under the configured names, and runs it
    // with OpenCV on the CPU. Throws CoreMLDenoiserError: invalidModel for a missing model, one
    // that is not an ONNX model or not one of these shapes, one OpenCV cannot load and (from
    // denoise) one it cannot run; unreadableModel for a file it cannot read. Each of these
    // failures names the model file and ends with `advice`, when given: what the user can do
    // about it, which depends on where the model came from (MatchFilterModel).
    CoreMLDenoiser(const std::filesystem::path& modelURL, Configuration configuration,
                   const std::string& advice = {});

    // A denoiser around any prediction function. Requires 1 <= tileSize <= 2048 and
    // 1 <= overlap < tileSize; otherwise throws CoreMLDenoiserError (invalidModel).
    CoreMLDenoiser(int tileSize, Configuration configuration, Predictor predictor);

    CoreMLDenoiser(const CoreMLDenoiser&) = delete;
    CoreMLDenoiser& operator=(const CoreMLDenoiser&) = delete;

    int tileSize() const { return tileSize_; }

    // A new texture of the source's format and size (shared, shader read and write) holding the
    // denoised values. The source must be a shared RGBA32Float or RGBA16Float texture. Values
    // outside 0...1 are clamped for the model and their excess is added back to its prediction.
    // `shouldCancel` is asked before starting, between tiles, before writing rows and at the end;
    // a true answer throws CancellationError and no partial result is returned. `progress`, when
    // given, hears 0 first and then the fraction of tiles done after each tile.
    // Throws CoreMLDenoiserError for an unusable source, bad noise coefficients, non-finite
    // samples, unusable predictions or no memory; the predictor's own errors are passed on.
    std::shared_ptr<Texture> denoise(const Texture& source, const NoiseProfile& noiseProfile,
                                     const Device& device,
                                     const std::function<bool()>& shouldCancel,
                                     const std::function<void(double)>& progress = nullptr);

    // The tile origins along one axis of `length` texels: the first at -overlap / 2, each next
    // one size - overlap further, until a tile's inner end (origin + size - overlap / 2) reaches
    // the length. Throws CoreMLDenoiserError (invalidModel) for an invalid size or overlap.
    static std::vector<int> tileOrigins(int length, int size, int overlap);

    // Blending weights along one tile axis: sin^2 ramps over the `overlap` texels at each end, 1
    // in between; never 0. Throws CoreMLDenoiserError (invalidModel) for an invalid size or
    // overlap.
    static std::vector<float> feather(int size, int overlap);

    // Fills `into` (size * size * 4 floats, row by row) with the square of an RGBA32Float or
    // RGBA16Float texture whose top left corner is (x, y), halves widened to floats; coordinates
    // outside the texture are mirrored back into it without repeating the edge texel.
    static void readReflectedTile(const Texture& texture, int x, int y, int size,
                                  std::span<float> into);

  private:
    // The model whose file, at `modelURL`, holds `modelBytes`.
    CoreMLDenoiser(const std::string& modelBytes, Configuration configuration,
                   const std::filesystem::path& modelURL, const std::string& advice);

    int tileSize_;
    Configuration configuration_;
    Predictor predictor_;
    std::mutex lock_;
};

}  // namespace quillmere
