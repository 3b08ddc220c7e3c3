#pragma once

namespace quillmere {

// One row of an image in luminance/colour form. `luma` is the brightness; `detail`, where the
// source has it, is luminance structure the luma does not carry (the difference of a Bayer quad's
// two greens) and is null otherwise; `chroma1` and `chroma2` are colour differences.
struct LumaChromaRow {
    float* luma = nullptr;
    float* chroma1 = nullptr;
    float* chroma2 = nullptr;
    float* detail = nullptr;
};

struct ConstLumaChromaRow {
    const float* luma = nullptr;
    const float* chroma1 = nullptr;
    const float* chroma2 = nullptr;
    const float* detail = nullptr;
};

// An image the noise filter reads in luminance/colour form and writes back, with a model of its
// noise. The filter calls readRow and noiseVariances from several threads at once, also for the
// same row, and writeRow from several threads for different rows, each row once.
class LumaChromaImage {
  public:
    virtual ~LumaChromaImage() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual bool hasDetail() const = 0;

    // Fills the `width()` values of row y (detail only when hasDetail()).
    virtual void readRow(int y, const LumaChromaRow& row) const = 0;
    // The noise variances of luma, chroma1 and chroma2 of `count` pixels whose values are given
    // (noise grows with the signal, so a pixel's own values tell its noise).
    virtual void noiseVariances(int count, const ConstLumaChromaRow& values, float* luma,
                                float* chroma1, float* chroma2) const = 0;
    // Takes the noise-reduced row y.
    virtual void writeRow(int y, const ConstLumaChromaRow& row) = 0;
};

// The variance of photographic noise at a signal level: a constant part (read noise) and one that
// grows with the signal (shot noise); a level below 0 is noise around black and counts as 0.
inline float signalDependentVariance(float read, float shot, float level) {
    return read + shot * (level > 0.0f ? level : 0.0f);
}

// How much of the noise to take away, 0 (none) to 1 (all the filter finds); values outside are
// held at the ends and NaN counts as 0.
struct NoiseReductionAmounts {
    float luminance = 0.0f;
    float color = 0.0f;
};

// Reduces the noise of `image` with an edge-preserving filter and writes every row back: each
// pixel becomes a weighted mean of its neighbours in which a neighbour's weight falls to zero as
// its difference from the pixel grows beyond what the noise explains, so edges and texture
// stronger than the noise keep their contrast while flat areas are smoothed. Each pass weighs a
// 5 × 5 neighbourhood whose pixels lie 1, 2 or 4 apart (à trous), against the noise the earlier
// passes left: luminance takes two passes (1 and 2 apart); colour, whose noise is coarser and
// whose detail the eye resolves less, takes three (1, 2 and 4 apart), each guided by the luma so
// that colour does not bleed across brightness edges. The rows written are the source moved
// towards the filtered image by the amounts. The image is worked through in bands of rows in
// parallel on the calling thread, so the working memory stays small whatever the image size.
// Throws std::bad_alloc when even that is not there (rows may then be written already).
void reduceNoise(LumaChromaImage& image, NoiseReductionAmounts amounts);

}  // namespace quillmere
