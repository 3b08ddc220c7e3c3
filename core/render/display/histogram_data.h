#pragma once

#include <array>

namespace quillmere {

// The red, green and blue histograms of a rendered image that the develop panel draws. All
// three are scaled by one factor so that the highest bin of the three is 1 and the channels stay
// comparable; a histogram of nothing is all zeros.
struct HistogramData {
    static constexpr int binCount = 64;
    using Bins = std::array<float, binCount>;

    // Bin k holds the values nearest k / 63; bin 0 also holds everything at or below 0 (and
    // values that are not a number), bin 63 everything at or above 1.
    Bins r{};
    Bins g{};
    Bins b{};

    // Three channels of zeros.
    static const HistogramData empty;

    bool operator==(const HistogramData&) const = default;
};

inline const HistogramData HistogramData::empty{};

}  // namespace quillmere
