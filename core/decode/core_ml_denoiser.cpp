#include "core/decode/core_ml_denoiser.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <utility>

#include "core/common/error.h"
#include "core/decode/core_ml_denoiser_error.h"

namespace quillmere {
namespace {

constexpr std::int64_t kMaximumTileSize = 2048;
// The largest finite half-precision value; anything beyond would be stored as an infinity.
constexpr double kLargestHalf = 65504.0;

void validateTiling(std::int64_t size, std::int64_t overlap) {
    if (size < 1 || size > kMaximumTileSize || overlap < 1 || overlap >= size) {
        throw CoreMLDenoiserError::invalidModel("invalid tile size or overlap");
    }
}

void throwIfCancelled(const std::function<bool()>& shouldCancel) {
    if (shouldCancel()) {
        throw CancellationError();
    }
}

void report(const std::function<void(double)>& progress, double fraction) {
    if (progress) {
        progress(fraction);
    }
}

// Mirrors a coordinate into 0 ... n - 1 without repeating the edge: -1 -> 1, n -> n - 2.
int reflect(std::int64_t coordinate, int n) {
    if (n < 2) {
        return 0;
    }
    const std::int64_t period = 2 * std::int64_t{n} - 2;
    std::int64_t mirrored = ((coordinate % period) + period) % period;
    if (mirrored >= n) {
        mirrored = period - mirrored;
    }
    return static_cast<int>(mirrored);
}

// What can be wrong with a row of work. Rows are processed in parallel; each reports its first
// fault and the fault of the lowest row is thrown, so the error is the one a pass in reading order
// would meet first.
enum class Fault : std::uint8_t {
    none,
    nonFiniteSource,
    varianceOverflow,
    nonFinitePrediction,
    uncoveredSeam,
    beyondTextureRange,
};

[[noreturn]] void throwFault(Fault fault) {
    switch (fault) {
        case Fault::nonFiniteSource:
            throw CoreMLDenoiserError::invalidInput("non-finite source pixel");
        case Fault::varianceOverflow:
            throw CoreMLDenoiserError::invalidInput("sensor noise variance overflowed");
        case Fault::nonFinitePrediction:
            throw CoreMLDenoiserError::invalidOutput("non-finite prediction");
        case Fault::uncoveredSeam:
            throw CoreMLDenoiserError::invalidOutput("uncovered tile seam");
        case Fault::beyondTextureRange:
            throw CoreMLDenoiserError::invalidOutput("pixel exceeds the finite texture range");
        case Fault::none:
            break;
    }
    throw std::logic_error("a row without a fault was reported as failing");
}

// Runs `rowWork(row)` for rows 0 ... rowCount - 1 in parallel and throws the first fault in row
// order, if any.
template <typename RowWork>
void forEachRow(int rowCount, const RowWork& rowWork) {
    std::vector<Fault> faults(static_cast<std::size_t>(rowCount), Fault::none);
    tbb::parallel_for(tbb::blocked_range<int>(0, rowCount),
                      [&](const tbb::blocked_range<int>& rows) {
                          for (int row = rows.begin(); row != rows.end(); ++row) {
                              faults[static_cast<std::size_t>(row)] = rowWork(row);
                          }
                      });
    const auto fault =
        std::find_if(faults.begin(), faults.end(), [](Fault f) { return f != Fault::none; });
    if (fault != faults.end()) {
        throwFault(*fault);
    }
}

// Fills the model's input planes from a tile and keeps, per sample, what clamping to 0...1 took
// away, so that it can be added back to the prediction: the model only ever sees 0...1, but
// highlights above 1 and black-level noise below 0 must survive.
void prepareInput(std::span<const float> tile, const CoreMLDenoiser::NoiseProfile& noise,
                  int tileSize, float* planes, std::span<float> residual) {
    const auto side = static_cast<std::size_t>(tileSize);
    const std::size_t tileArea = side * side;
    forEachRow(tileSize, [&](int row) {
        const std::size_t first = static_cast<std::size_t>(row) * side;
        for (std::size_t texel = first; texel < first + side; ++texel) {
            for (std::size_t channel = 0; channel < 4; ++channel) {
                const float value = tile[texel * 4 + channel];
                if (!std::isfinite(value)) {
                    return Fault::nonFiniteSource;
                }
                const float clamped = std::clamp(value, 0.0f, 1.0f);
                const float variance = noise.readVariance[channel] + noise.shot[channel] * clamped;
                if (!std::isfinite(variance)) {
                    return Fault::varianceOverflow;
                }
                planes[channel * tileArea + texel] = clamped;
                planes[(4 + channel) * tileArea + texel] = std::sqrt(variance);
                residual[channel * tileArea + texel] = value - clamped;
            }
        }
        return Fault::none;
    });
}

// Element strides of a prediction, checked for shape, scalar type and usable strides.
std::array<std::size_t, 4> checkedStrides(const cv::Mat& prediction, int tileSize) {
    if (prediction.type() != CV_32F || prediction.dims != 4 || prediction.size[0] != 1 ||
        prediction.size[1] != 4 || prediction.size[2] != tileSize ||
        prediction.size[3] != tileSize) {
        throw CoreMLDenoiserError::invalidOutput("unexpected shape or scalar type");
    }
    std::array<std::size_t, 4> strides{};
    for (std::size_t axis = 0; axis < 4; ++axis) {
        const std::size_t bytes = prediction.step[static_cast<int>(axis)];
        if (bytes < sizeof(float) || bytes % sizeof(float) != 0) {
            throw CoreMLDenoiserError::invalidOutput("invalid tensor strides");
        }
        strides[axis] = bytes / sizeof(float);
    }
    return strides;
}

// The running weighted sums of one band of tile-size image rows; image row y lives in band row
// y mod tileSize. Sums and weights are kept in double precision so that blending a prediction
// that equals its input gives back the very same 32-bit values.
class BlendBand {
  public:
    BlendBand(int width, int tileSize)
        : width_(static_cast<std::size_t>(width)),
          tileSize_(tileSize),
          sums_(width_ * static_cast<std::size_t>(tileSize) * 4),
          weights_(width_ * static_cast<std::size_t>(tileSize)) {}

    // Adds a predicted tile at (x0, y0), weighted by the feathering, to the texels that lie in
    // the image. Every predicted value must be finite, also outside the image: a model that
    // produces NaN anywhere is broken.
    void add(const cv::Mat& prediction, std::span<const float> residual,
             std::span<const float> feather, int x0, int y0, int imageHeight) {
        const std::array<std::size_t, 4> strides = checkedStrides(prediction, tileSize_);
        const auto* values = reinterpret_cast<const float*>(prediction.data);
        const auto side = static_cast<std::size_t>(tileSize_);
        const std::size_t tileArea = side * side;
        // The tile's columns that lie in the image.
        const auto firstColumn = static_cast<std::size_t>(std::max(0, -x0));
        const auto endColumn = static_cast<std::size_t>(
            std::clamp<std::int64_t>(static_cast<std::int64_t>(width_) - x0, 0, tileSize_));
        forEachRow(tileSize_, [&](int r) {
            const auto row = static_cast<std::size_t>(r);
            for (std::size_t k = 0; k < 4; ++k) {
                const float* predicted = values + k * strides[1] + row * strides[2];
                for (std::size_t c = 0; c < side; ++c) {
                    if (!std::isfinite(predicted[c * strides[3]])) {
                        return Fault::nonFinitePrediction;
                    }
                }
            }
            const int y = y0 + r;
            if (y < 0 || y >= imageHeight) {
                return Fault::none;
            }
            const std::size_t bandRow = static_cast<std::size_t>(y % tileSize_) * width_;
            for (std::size_t c = firstColumn; c < endColumn; ++c) {
                const double weight = static_cast<double>(feather[row]) * feather[c];
                const std::size_t texel = bandRow + static_cast<std::size_t>(x0) + c;
                const std::size_t tileTexel = row * side + c;
                weights_[texel] += weight;
                for (std::size_t k = 0; k < 4; ++k) {
                    const float restored =
                        values[k * strides[1] + row * strides[2] + c * strides[3]] +
                        residual[k * tileArea + tileTexel];
                    sums_[texel * 4 + k] += static_cast<double>(restored) * weight;
                }
            }
            return Fault::none;
        });
    }

    // Writes image rows first ... end - 1 into `output` and clears their band rows for reuse.
    void flush(int first, int end, Texture& output) {
        const bool half = output.pixelFormat() == PixelFormat::rgba16Float;
        forEachRow(end - first, [&](int offset) {
            const int y = first + offset;
            const std::size_t bandRow = static_cast<std::size_t>(y % tileSize_) * width_;
            std::vector<msl::float4> texels(width_);
            for (std::size_t x = 0; x < width_; ++x) {
                const std::size_t texel = bandRow + x;
                const double weight = weights_[texel];
                if (!std::isfinite(weight) || weight <= 0) {
                    return Fault::uncoveredSeam;
                }
                for (std::size_t k = 0; k < 4; ++k) {
                    const float value = static_cast<float>(sums_[texel * 4 + k] / weight);
                    if (!std::isfinite(value) || (half && std::fabs(value) > kLargestHalf)) {
                        return Fault::beyondTextureRange;
                    }
                    texels[x][static_cast<int>(k)] = value;
                    sums_[texel * 4 + k] = 0;
                }
                weights_[texel] = 0;
            }
            output.writeRow(0, y, texels);
            return Fault::none;
        });
    }

  private:
    std::size_t width_;
    int tileSize_;
    std::vector<double> sums_;
    std::vector<double> weights_;
};

}  // namespace

CoreMLDenoiser::CoreMLDenoiser(int tileSize, Configuration configuration, Predictor predictor)
    : tileSize_(tileSize),
      configuration_(std::move(configuration)),
      predictor_(std::move(predictor)) {
    validateTiling(tileSize_, configuration_.overlap);
}

std::vector<int> CoreMLDenoiser::tileOrigins(int length, int size, int overlap) {
    validateTiling(size, overlap);
    const int halfOverlap = overlap / 2;
    std::vector<int> origins{-halfOverlap};
    while (std::int64_t{origins.back()} + size - halfOverlap < length) {
        origins.push_back(origins.back() + size - overlap);
    }
    return origins;
}

std::vector<float> CoreMLDenoiser::feather(int size, int overlap) {
    validateTiling(size, overlap);
    std::vector<float> weights(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        const int distance = std::min(i, size - 1 - i);
        double weight = 1.0;
        if (distance < overlap) {
            const double ramp = std::sin(std::numbers::pi / 2 * (distance + 0.5) / overlap);
            weight = ramp * ramp;
        }
        weights[static_cast<std::size_t>(i)] = static_cast<float>(weight);
    }
    return weights;
}

void CoreMLDenoiser::readReflectedTile(const Texture& texture, int x, int y, int size,
                                       std::span<float> into) {
    const auto side = static_cast<std::size_t>(std::max(size, 0));
    const PixelFormat format = texture.pixelFormat();
    if (size < 1 || texture.width() < 1 || texture.height() < 1 || into.size() < side * side * 4 ||
        (format != PixelFormat::rgba32Float && format != PixelFormat::rgba16Float)) {
        throw std::invalid_argument(
            "a reflected tile needs a non-empty four-channel texture and room for the tile");
    }
    const std::int64_t right = std::int64_t{x} + size;
    const std::int64_t bottom = std::int64_t{y} + size;
    if (format == PixelFormat::rgba32Float && x >= 0 && y >= 0 && right <= texture.width() &&
        bottom <= texture.height()) {
        texture.getBytes(into.data(), side * sizeof(msl::float4), {x, y, size, size});
        return;
    }
    std::vector<int> columns(side);
    for (std::size_t c = 0; c < side; ++c) {
        columns[c] = reflect(std::int64_t{x} + static_cast<std::int64_t>(c), texture.width());
    }
    const auto [firstColumn, lastColumn] = std::minmax_element(columns.begin(), columns.end());
    const int spanStart = *firstColumn;
    std::vector<msl::float4> span(static_cast<std::size_t>(*lastColumn - spanStart + 1));
    for (std::size_t r = 0; r < side; ++r) {
        const int row = reflect(std::int64_t{y} + static_cast<std::int64_t>(r), texture.height());
        texture.readRow(spanStart, row, span);
        for (std::size_t c = 0; c < side; ++c) {
            const msl::float4 texel = span[static_cast<std::size_t>(columns[c] - spanStart)];
            float* destination = &into[(r * side + c) * 4];
            for (int k = 0; k < 4; ++k) {
                destination[k] = texel[k];
            }
        }
    }
}

std::shared_ptr<Texture> CoreMLDenoiser::denoise(const Texture& source,
                                                 const NoiseProfile& noiseProfile,
                                                 const Device& device,
                                                 const std::function<bool()>& shouldCancel,
                                                 const std::function<void(double)>& progress) {
    throwIfCancelled(shouldCancel);
    const std::lock_guard guard(lock_);
    throwIfCancelled(shouldCancel);

    const int width = source.width();
    const int height = source.height();
    const PixelFormat format = source.pixelFormat();
    if ((format != PixelFormat::rgba32Float && format != PixelFormat::rgba16Float) ||
        source.storageMode() != StorageMode::shared || width < 1 || height < 1) {
        throw CoreMLDenoiserError::invalidInput(
            "expected a shared, two-dimensional RGBA32Float or RGBA16Float texture");
    }
    for (std::size_t channel = 0; channel < 4; ++channel) {
        for (const float coefficient :
             {noiseProfile.shot[channel], noiseProfile.readVariance[channel]}) {
            if (!std::isfinite(coefficient) || coefficient < 0) {
                throw CoreMLDenoiserError::invalidInput(
                    "sensor noise coefficients must be finite and nonnegative");
            }
        }
    }

    const int t = tileSize_;
    const std::size_t tileArea = static_cast<std::size_t>(t) * static_cast<std::size_t>(t);
    const std::shared_ptr<Texture> output =
        device.makeTexture({.pixelFormat = format,
                            .width = width,
                            .height = height,
                            .usage = TextureUsage::shaderRead | TextureUsage::shaderWrite,
                            .storageMode = StorageMode::shared});
    if (!output) {
        throw CoreMLDenoiserError::allocationFailed();
    }
    std::optional<BlendBand> band;
    try {
        band.emplace(width, t);
    } catch (const std::bad_alloc&) {
        throw CoreMLDenoiserError::allocationFailed();
    }
    const int inputShape[] = {1, 8, t, t};
    cv::Mat input(4, inputShape, CV_32F);
    auto* planes = input.ptr<float>();
    std::vector<float> tile(tileArea * 4);
    std::vector<float> residual(tileArea * 4);

    const std::vector<int> columnOrigins = tileOrigins(width, t, configuration_.overlap);
    const std::vector<int> rowOrigins = tileOrigins(height, t, configuration_.overlap);
    const std::vector<float> weights = feather(t, configuration_.overlap);
    const double tileCount = static_cast<double>(columnOrigins.size() * rowOrigins.size());
    report(progress, 0);

    std::size_t tilesDone = 0;
    int firstUnflushed = 0;
    for (std::size_t j = 0; j < rowOrigins.size(); ++j) {
        const int y0 = rowOrigins[j];
        for (const int x0 : columnOrigins) {
            throwIfCancelled(shouldCancel);
            readReflectedTile(source, x0, y0, t, tile);
            prepareInput(tile, noiseProfile, t, planes, residual);
            const cv::Mat prediction = predictor_(input);
            band->add(prediction, residual, weights, x0, y0, height);
            ++tilesDone;
            report(progress, static_cast<double>(tilesDone) / tileCount);
        }
        // Rows above the next tile row's origin are final: no later tile reaches them.
        const int flushEnd =
            j + 1 < rowOrigins.size() ? std::min(rowOrigins[j + 1], height) : height;
        if (flushEnd > firstUnflushed) {
            throwIfCancelled(shouldCancel);
            band->flush(firstUnflushed, flushEnd, *output);
            firstUnflushed = flushEnd;
        }
    }
    throwIfCancelled(shouldCancel);
    return output;
}

}  // namespace quillmere
