#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillmere {

// One row of a decoder's samples as the colour conversion reads them: sample `x` of channel `c` is
// `channels[c][x * step]`, an integer code from 0 to the conversion's largest code. Interleaved
// samples point each channel at its first sample with `step` the channel count; planes point
// each channel at its own plane with `step` 1; a grey row read as RGB points three channels at
// the same samples.
template <class Sample>
struct SampleRow {
    std::array<const Sample*, 4> channels{};
    std::ptrdiff_t step = 1;

    Sample at(int channel, std::size_t x) const {
        return channels[static_cast<std::size_t>(channel)][static_cast<std::ptrdiff_t>(x) * step];
    }
};

// The value from 0 to 1 that a code stands for; the curves are evaluated at exactly this value.
inline float unitValue(std::uint32_t code, std::uint32_t maxCode) {
    return static_cast<float>(code) / static_cast<float>(maxCode);
}

}  // namespace quillmere
