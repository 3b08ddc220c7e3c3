#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

#include "rawbridge/raw_claims.h"

// What each RAW job may take, worked out from the file's claims (rawbridge/raw_claims.h): the
// memory it claims (the reader's data limit and its share of the reader room) and the processor
// time of all its threads together.
namespace quillmere::reader::raw_budget {

struct Need {
    std::uint64_t memoryBytes = 0;
    std::chrono::milliseconds processorTime{0};
};

// CALIBRATION PENDING

inline constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
inline constexpr std::uint64_t kFixedBytes = 256 * kMiB;
inline constexpr double kMargin = 1.5;
inline constexpr double kTimeMargin = 4.0;
inline constexpr std::chrono::milliseconds kFixedTime{500};

namespace detail {

inline double storedBytes(const rawbridge::RAWClaims& c) {
    return static_cast<double>(c.storedSites) * c.samplesPerSite * 2.0;
}
inline double visible(const rawbridge::RAWClaims& c) {
    return static_cast<double>(c.width) * c.height;
}
inline std::uint64_t bytes(double need) {
    const double total = need * kMargin + static_cast<double>(kFixedBytes);
    return total >= 1.8e19 ? UINT64_MAX : static_cast<std::uint64_t>(total);
}
inline std::chrono::milliseconds time(double nanoseconds) {
    const double ms = nanoseconds / 1e6 * kTimeMargin + static_cast<double>(kFixedTime.count());
    return std::chrono::milliseconds(
        static_cast<std::int64_t>(std::min(ms, 1e9)));
}

}  // namespace detail

inline Need sensorDevelopment(const rawbridge::RAWClaims& c) {
    using namespace detail;
    return {bytes(storedBytes(c) + visible(c) * 24.0), time(visible(c) * 200.0)};
}

inline Need sensorSession(const rawbridge::RAWClaims& c) {
    using namespace detail;
    return {bytes(storedBytes(c) * 2.0 + visible(c) * 24.0), time(storedBytes(c) * 30.0)};
}

inline Need fullDevelopment(const rawbridge::RAWClaims& c) {
    using namespace detail;
    const double developed = static_cast<double>(c.developedPixels);
    return {bytes(storedBytes(c) + (visible(c) + developed) * 8.0 + developed * 22.0),
            time(storedBytes(c) * 30.0 + developed * 300.0)};
}

inline Need thumbnail(const rawbridge::RAWClaims& c) {
    using namespace detail;
    const double half = static_cast<double>(c.halfDevelopedPixels);
    return {bytes(storedBytes(c) + half * 40.0), time(storedBytes(c) * 30.0 + half * 300.0)};
}

}  // namespace quillmere::reader::raw_budget
