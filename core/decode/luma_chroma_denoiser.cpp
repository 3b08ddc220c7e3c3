#include "core/decode/luma_chroma_denoiser.h"

#include <tbb/blocked_range.h>
#include <tbb/enumerable_thread_specific.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace quillmere {
namespace {

// The B3-spline weights of the à trous transform: smooth, and they leave a flat image flat.
constexpr std::array<float, 5> kSpatial{1.0f / 16, 4.0f / 16, 6.0f / 16, 4.0f / 16, 1.0f / 16};
constexpr int kRadius = 2;

// One filter pass: neighbours `spacing` pixels apart, compared against the noise variance the
// model gives for the source times `varianceLeft`, the part earlier passes have left. A first
// pass over white noise leaves a fifth to a quarter of its variance; what is left is correlated
// over a few pixels, so a wider pass takes less of it (a third to a half) than the first did.
struct Pass {
    int spacing;
    float varianceLeft;
};
constexpr std::array<Pass, 2> kLumaPasses{{{1, 1.0f}, {2, 1.0f / 4}}};
constexpr std::array<Pass, 3> kColorPasses{{{1, 1.0f}, {2, 1.0f / 5}, {4, 1.0f / 12}}};

// A neighbour stops counting once its difference from the pixel is this many standard
// deviations of the difference of two noisy values (Tukey's biweight). Luminance keeps nothing
// beyond 3 (noise alone passes that one time in 370); colour weighs luma and two chroma
// differences at once, whose summed squares noise alone keeps below 3.5² nearly always.
constexpr float kLumaCutoff = 3.0f;
constexpr float kColorCutoff = 3.5f;
// No plane is taken as free of noise: a variance of zero would make every difference an edge.
constexpr float kVarianceFloor = 1e-12f;
constexpr int kBandRows = 64;

// How far, in rows, the passes after `pass` reach beyond the rows they compute.
template <std::size_t N>
constexpr int reachAfter(const std::array<Pass, N>& passes, std::size_t pass) {
    int reach = 0;
    for (std::size_t later = pass + 1; later < N; ++later) reach += kRadius * passes[later].spacing;
    return reach;
}
template <std::size_t N>
constexpr int reachOf(const std::array<Pass, N>& passes) {
    return kRadius * passes[0].spacing + reachAfter(passes, 0);
}
constexpr int kLumaReach = reachOf(kLumaPasses);
constexpr int kColorReach = reachOf(kColorPasses);
constexpr int kMargin = kRadius * std::max(kLumaPasses.back().spacing, kColorPasses.back().spacing);

float clampedAmount(float amount) { return amount > 0.0f ? std::min(amount, 1.0f) : 0.0f; }

// 1 / (cutoff² × 2 × variance): a squared difference times this is 1 at the cutoff.
float rangeScale(float variance, float cutoff) {
    return 1.0f / (cutoff * cutoff * 2.0f * std::max(variance, kVarianceFloor));
}

// The weight of a neighbour whose scaled squared difference is t: (1 − t)² within the cutoff,
// 0 beyond it and for a NaN.
inline float biweight(float spatial, float t) {
    const float u = 1.0f - t;
    const float inside = u > 0.0f ? u : 0.0f;
    return spatial * inside * inside;
}

// weight × value. A value that is infinite or not a number always has weight 0 and must add
// nothing (0 × NaN would be NaN), so it counts as 0: x − x is 0 exactly for a finite x.
inline float weighed(float weight, float value) {
    return weight * (value - value == 0.0f ? value : 0.0f);
}

// Rows of one plane for the rows of a band and its margin, addressed by image row; each row has
// kMargin copies of its edge values on either side, so taps need no column test.
class BandPlane {
  public:
    BandPlane(int width, int rows)
        : width_(width),
          stride_(static_cast<std::size_t>(width) + 2 * kMargin),
          data_(stride_ * static_cast<std::size_t>(rows)) {}

    void setOrigin(int firstRow) { origin_ = firstRow; }
    float* row(int y) {
        return data_.data() + static_cast<std::size_t>(y - origin_) * stride_ + kMargin;
    }
    const float* row(int y) const {
        return data_.data() + static_cast<std::size_t>(y - origin_) * stride_ + kMargin;
    }
    void extendEdges(int y) {
        float* values = row(y);
        std::fill(values - kMargin, values, values[0]);
        std::fill(values + width_, values + width_ + kMargin, values[width_ - 1]);
    }

  private:
    int width_;
    std::size_t stride_;
    std::vector<float> data_;
    int origin_ = 0;
};

// Two planes a pass reads or writes: luma and detail, or the two chroma planes.
struct PlanePair {
    BandPlane* first;
    BandPlane* second;  // null for a luma pass over an image without detail
};

// The working memory of one thread: the band's source planes, three pairs of planes for the
// passes' results, and rows of per-pixel scales and sums.
struct BandWork {
    BandWork(int width, bool hasDetail)
        : luma(width, kRows),
          chroma1(width, kRows),
          chroma2(width, kRows),
          lumaVariance(width),
          chroma1Variance(width),
          chroma2Variance(width),
          scale0(width),
          scale1(width),
          scale2(width),
          sum1(width),
          sum2(width),
          weights(width) {
        if (hasDetail) detail.emplace(width, kRows);
        for (auto& plane : results) plane.emplace_back(width, kRows);
        for (auto& plane : results) plane.emplace_back(width, kRows);
    }

    static constexpr int kRows = kBandRows + 2 * std::max(kColorReach, kLumaReach);

    void setOrigin(int firstRow) {
        for (BandPlane* plane : {&luma, &chroma1, &chroma2}) plane->setOrigin(firstRow);
        if (detail) detail->setOrigin(firstRow);
        for (auto& pair : results) {
            for (BandPlane& plane : pair) plane.setOrigin(firstRow);
        }
    }
    void clearSums() {
        std::fill(sum1.begin(), sum1.end(), 0.0f);
        std::fill(sum2.begin(), sum2.end(), 0.0f);
        std::fill(weights.begin(), weights.end(), 0.0f);
    }
    PlanePair result(std::size_t index, bool withSecond) {
        return {&results[index][0], withSecond ? &results[index][1] : nullptr};
    }
    ConstLumaChromaRow sourceRow(int y) const {
        return {luma.row(y), chroma1.row(y), chroma2.row(y), detail ? detail->row(y) : nullptr};
    }

    BandPlane luma, chroma1, chroma2;
    std::optional<BandPlane> detail;
    std::array<std::vector<BandPlane>, 3> results;
    std::vector<float> lumaVariance, chroma1Variance, chroma2Variance;
    std::vector<float> scale0, scale1, scale2;
    std::vector<float> sum1, sum2, weights;
};

int clampRow(int y, int height) { return y < 0 ? 0 : y >= height ? height - 1 : y; }

// The taps are the filter's whole cost, so they are built for the wider vector unit too and the
// processor's best is chosen when the program starts. Each lane computes exactly what the plain
// build does, so the results are the same bits.
#define QUILLMERE_TAP_VARIANTS __attribute__((target_clones("avx2", "default")))

// One neighbour of every pixel of a row, for luminance: sums += weight × neighbour. The pointers
// are separate arrays, which lets the compiler run the loop on the vector unit.
QUILLMERE_TAP_VARIANTS void addLumaTap(int width, float spatial, const float* __restrict centre,
                                       const float* __restrict scale, const float* __restrict luma,
                                       float* __restrict sumLuma, float* __restrict weights) {
    for (int x = 0; x < width; ++x) {
        const float value = luma[x];
        const float d = value - centre[x];
        const float w = biweight(spatial, d * d * scale[x]);
        sumLuma[x] += weighed(w, value);
        weights[x] += w;
    }
}

QUILLMERE_TAP_VARIANTS void addLumaTap(int width, float spatial, const float* __restrict centre,
                                       const float* __restrict scale, const float* __restrict luma,
                                       const float* __restrict detail, float* __restrict sumLuma,
                                       float* __restrict sumDetail, float* __restrict weights) {
    for (int x = 0; x < width; ++x) {
        const float value = luma[x];
        const float detailValue = detail[x];
        const float d = value - centre[x];
        const float w = biweight(spatial, d * d * scale[x]);
        sumLuma[x] += weighed(w, value);
        sumDetail[x] += weighed(w, detailValue);
        weights[x] += w;
    }
}

// The pixels of a row and their range scales, for the colour taps.
struct ColorCentre {
    const float* luma;
    const float* chroma1;
    const float* chroma2;
    const float* guideScale;
    const float* chroma1Scale;
    const float* chroma2Scale;
};

// One neighbour of every pixel of a row, for colour, weighed by luma and chroma together.
QUILLMERE_TAP_VARIANTS void addColorTap(int width, float spatial, const ColorCentre& centre,
                                        const float* __restrict luma,
                                        const float* __restrict chroma1,
                                        const float* __restrict chroma2, float* __restrict sum1,
                                        float* __restrict sum2, float* __restrict weights) {
    const float* __restrict lumaCentre = centre.luma;
    const float* __restrict chroma1Centre = centre.chroma1;
    const float* __restrict chroma2Centre = centre.chroma2;
    const float* __restrict guideScale = centre.guideScale;
    const float* __restrict chroma1Scale = centre.chroma1Scale;
    const float* __restrict chroma2Scale = centre.chroma2Scale;
    for (int x = 0; x < width; ++x) {
        const float value1 = chroma1[x];
        const float value2 = chroma2[x];
        const float dl = luma[x] - lumaCentre[x];
        const float d1 = value1 - chroma1Centre[x];
        const float d2 = value2 - chroma2Centre[x];
        const float t =
            dl * dl * guideScale[x] + d1 * d1 * chroma1Scale[x] + d2 * d2 * chroma2Scale[x];
        const float w = biweight(spatial, t);
        sum1[x] += weighed(w, value1);
        sum2[x] += weighed(w, value2);
        weights[x] += w;
    }
}

void noiseOf(const LumaChromaImage& image, BandWork& work, const ConstLumaChromaRow& values) {
    image.noiseVariances(image.width(), values, work.lumaVariance.data(),
                         work.chroma1Variance.data(), work.chroma2Variance.data());
}

// Writes sum / weights, or the pixel itself where nothing weighed (only a pixel that is not a
// number: the pixel always counts for itself).
void finish(int width, const float* sums, const float* weights, const float* centre, float* out) {
    for (int x = 0; x < width; ++x) out[x] = weights[x] > 0.0f ? sums[x] / weights[x] : centre[x];
}

// Luminance: luma and detail of row y move to the mean of their 5 × 5 neighbourhood, `spacing`
// pixels apart, weighted by luma similarity.
void lumaRow(const LumaChromaImage& image, BandWork& work, int y, const Pass& pass,
             const PlanePair& in, const PlanePair& out) {
    const int width = image.width();
    const float* lumaCentre = in.first->row(y);
    const float* detailCentre = in.second ? in.second->row(y) : nullptr;
    noiseOf(image, work, {lumaCentre, work.chroma1.row(y), work.chroma2.row(y), detailCentre});
    float* scale = work.scale0.data();
    for (int x = 0; x < width; ++x) {
        scale[x] = rangeScale(work.lumaVariance[x] * pass.varianceLeft, kLumaCutoff);
    }
    work.clearSums();
    for (int dy = -kRadius; dy <= kRadius; ++dy) {
        const int r = clampRow(y + dy * pass.spacing, image.height());
        for (int dx = -kRadius; dx <= kRadius; ++dx) {
            const float spatial = kSpatial[dy + kRadius] * kSpatial[dx + kRadius];
            const int offset = dx * pass.spacing;
            if (in.second) {
                addLumaTap(width, spatial, lumaCentre, scale, in.first->row(r) + offset,
                           in.second->row(r) + offset, work.sum1.data(), work.sum2.data(),
                           work.weights.data());
            } else {
                addLumaTap(width, spatial, lumaCentre, scale, in.first->row(r) + offset,
                           work.sum1.data(), work.weights.data());
            }
        }
    }
    finish(width, work.sum1.data(), work.weights.data(), lumaCentre, out.first->row(y));
    out.first->extendEdges(y);
    if (in.second) {
        finish(width, work.sum2.data(), work.weights.data(), detailCentre, out.second->row(y));
        out.second->extendEdges(y);
    }
}

// Colour: both chroma planes of row y move to the mean of a 5 × 5 neighbourhood `spacing` pixels
// apart, weighted by similarity of the source luma and of the chroma together.
void colorRow(const LumaChromaImage& image, BandWork& work, int y, const Pass& pass,
              const PlanePair& in, const PlanePair& out) {
    const int width = image.width();
    const float* lumaCentre = work.luma.row(y);
    const float* chroma1Centre = in.first->row(y);
    const float* chroma2Centre = in.second->row(y);
    noiseOf(
        image, work,
        {lumaCentre, chroma1Centre, chroma2Centre, work.detail ? work.detail->row(y) : nullptr});
    for (int x = 0; x < width; ++x) {
        work.scale0[x] = rangeScale(work.lumaVariance[x], kColorCutoff);
        work.scale1[x] = rangeScale(work.chroma1Variance[x] * pass.varianceLeft, kColorCutoff);
        work.scale2[x] = rangeScale(work.chroma2Variance[x] * pass.varianceLeft, kColorCutoff);
    }
    work.clearSums();
    const ColorCentre centre{lumaCentre,         chroma1Centre,      chroma2Centre,
                             work.scale0.data(), work.scale1.data(), work.scale2.data()};
    for (int dy = -kRadius; dy <= kRadius; ++dy) {
        const int r = clampRow(y + dy * pass.spacing, image.height());
        for (int dx = -kRadius; dx <= kRadius; ++dx) {
            const int offset = dx * pass.spacing;
            addColorTap(width, kSpatial[dy + kRadius] * kSpatial[dx + kRadius], centre,
                        work.luma.row(r) + offset, in.first->row(r) + offset,
                        in.second->row(r) + offset, work.sum1.data(), work.sum2.data(),
                        work.weights.data());
        }
    }
    finish(width, work.sum1.data(), work.weights.data(), chroma1Centre, out.first->row(y));
    finish(width, work.sum2.data(), work.weights.data(), chroma2Centre, out.second->row(y));
    out.first->extendEdges(y);
    out.second->extendEdges(y);
}

// Runs `passes` over rows first ..< last, each pass over the rows the later ones reach too,
// alternating between two result pairs; returns the pair holding the last result.
template <std::size_t N, typename Row>
PlanePair runPasses(const std::array<Pass, N>& passes, PlanePair in, PlanePair out, PlanePair spare,
                    int first, int last, int height, Row&& row) {
    for (std::size_t pass = 0; pass < N; ++pass) {
        const int reach = reachAfter(passes, pass);
        const int passLast = std::min(height, last + reach);
        for (int y = std::max(0, first - reach); y < passLast; ++y) row(y, passes[pass], in, out);
        in = out;
        std::swap(out, spare);
    }
    return in;
}

// values += amount × (filtered − values)
void moveTowards(float* __restrict values, const float* __restrict filtered, float amount,
                 int width) {
    for (int x = 0; x < width; ++x) values[x] += amount * (filtered[x] - values[x]);
}

// Rows first ..< last of the image: reads them with the margin the passes need, filters and
// writes them back.
void reduceBand(LumaChromaImage& image, float luminance, float color, int first, int last,
                BandWork& work) {
    const int width = image.width();
    const int height = image.height();
    const int reach = std::max(color > 0.0f ? kColorReach : 0, luminance > 0.0f ? kLumaReach : 0);
    const int loadFirst = std::max(0, first - reach);
    const int loadLast = std::min(height, last + reach);
    work.setOrigin(loadFirst);
    const bool hasDetail = work.detail.has_value();
    for (int y = loadFirst; y < loadLast; ++y) {
        image.readRow(y, {work.luma.row(y), work.chroma1.row(y), work.chroma2.row(y),
                          hasDetail ? work.detail->row(y) : nullptr});
        work.luma.extendEdges(y);
        work.chroma1.extendEdges(y);
        work.chroma2.extendEdges(y);
        if (hasDetail) work.detail->extendEdges(y);
    }

    // Both filters read the source; the results stay apart until every pass is done, so each
    // row's result is the same whichever band computes it.
    std::optional<PlanePair> colorResult;
    if (color > 0.0f) {
        colorResult =
            runPasses(kColorPasses, {&work.chroma1, &work.chroma2}, work.result(0, true),
                      work.result(1, true), first, last, height,
                      [&](int y, const Pass& pass, const PlanePair& in, const PlanePair& out) {
                          colorRow(image, work, y, pass, in, out);
                      });
    }
    std::optional<PlanePair> lumaResult;
    if (luminance > 0.0f) {
        // The colour passes leave their result in the first pair (an odd number of passes).
        static_assert(kColorPasses.size() % 2 == 1);
        lumaResult =
            runPasses(kLumaPasses, {&work.luma, hasDetail ? &*work.detail : nullptr},
                      work.result(1, hasDetail), work.result(2, hasDetail), first, last, height,
                      [&](int y, const Pass& pass, const PlanePair& in, const PlanePair& out) {
                          lumaRow(image, work, y, pass, in, out);
                      });
    }

    for (int y = first; y < last; ++y) {
        if (lumaResult) {
            moveTowards(work.luma.row(y), lumaResult->first->row(y), luminance, width);
            if (hasDetail) {
                moveTowards(work.detail->row(y), lumaResult->second->row(y), luminance, width);
            }
        }
        if (colorResult) {
            moveTowards(work.chroma1.row(y), colorResult->first->row(y), color, width);
            moveTowards(work.chroma2.row(y), colorResult->second->row(y), color, width);
        }
        image.writeRow(y, work.sourceRow(y));
    }
}

}  // namespace

void reduceNoise(LumaChromaImage& image, NoiseReductionAmounts amounts) {
    const float luminance = clampedAmount(amounts.luminance);
    const float color = clampedAmount(amounts.color);
    const int width = image.width();
    const int height = image.height();
    if (width <= 0 || height <= 0) return;
    const bool hasDetail = image.hasDetail();
    tbb::enumerable_thread_specific<std::unique_ptr<BandWork>> workOfThread;
    const int bands = (height + kBandRows - 1) / kBandRows;
    tbb::parallel_for(tbb::blocked_range<int>(0, bands, 1), [&](const auto& range) {
        std::unique_ptr<BandWork>& work = workOfThread.local();
        if (!work) work = std::make_unique<BandWork>(width, hasDetail);
        for (int band = range.begin(); band != range.end(); ++band) {
            const int first = band * kBandRows;
            reduceBand(image, luminance, color, first, std::min(height, first + kBandRows), *work);
        }
    });
}

}  // namespace quillmere
