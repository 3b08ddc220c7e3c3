#include "reader/jobs/raw_budget.h"

#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <thread>

namespace quillmere::reader::raw_budget {
namespace {

using rawbridge::RAWClaims;

// What a claim says in bytes and samples.
struct Counts {
    double sensorBytes;    // S
    double visible;        // V
    double developed;      // D
    double halfDeveloped;  // H
    double storedSamples;
};

Counts countsOf(const RAWClaims& claims) {
    const double sites = static_cast<double>(claims.storedSites);
    return {sites * (claims.samplesPerSite == 1 ? kMosaicSiteBytes : kFullColourSiteBytes),
            static_cast<double>(claims.width) * claims.height,
            static_cast<double>(claims.developedPixels),
            static_cast<double>(claims.halfDevelopedPixels), sites * claims.samplesPerSite};
}

// Past any memory a machine has, counted without overflow.
std::uint64_t bytes(double data, const Machine& machine) {
    const double perProcessor =
        static_cast<double>(machine.threadStackBytes + kDemosaicTileBytes + kWorkerStackBytes);
    const double total = data * kMemoryMargin + perProcessor * std::max(machine.processors, 1u);
    return total < 0x1p63 ? static_cast<std::uint64_t>(std::ceil(total)) : UINT64_MAX / 2;
}

// Past any time a claim may take, counted without overflow.
std::chrono::milliseconds time(double nanoseconds) {
    const double milliseconds =
        (nanoseconds / 1e6 + static_cast<double>(kFixedTime.count())) * kTimeMargin;
    return std::chrono::milliseconds(
        static_cast<std::int64_t>(std::min(std::ceil(milliseconds), 1e15)));
}

double readTime(const Counts& counts) { return kReadNanoseconds * counts.storedSamples; }

}  // namespace

Machine Machine::ofThisProcess() {
    Machine machine;
    machine.processors = std::max(std::thread::hardware_concurrency(), 1u);
    pthread_attr_t attributes;
    std::size_t stack = 0;
    if (pthread_getattr_default_np(&attributes) == 0) {
        if (pthread_attr_getstacksize(&attributes, &stack) == 0 && stack > 0) {
            machine.threadStackBytes = stack;
        }
        pthread_attr_destroy(&attributes);
    }
    return machine;
}

Need sensorSession(const RAWClaims& claims, const Machine& machine) {
    const Counts c = countsOf(claims);
    return {bytes(2 * c.sensorBytes + 12 * c.visible, machine), time(readTime(c))};
}

Need sensorDevelopment(const RAWClaims& claims, const Machine& machine) {
    const Counts c = countsOf(claims);
    // Within the session's memory, which the read claimed.
    return {bytes(2 * c.sensorBytes + 12 * c.visible, machine),
            time(kDemosaicNanoseconds * c.visible)};
}

Need fullDevelopment(const RAWClaims& claims, const Machine& machine) {
    const Counts c = countsOf(claims);
    return {bytes(c.sensorBytes + 8 * c.visible + 22 * c.developed, machine),
            time(readTime(c) + kDemosaicNanoseconds * c.developed)};
}

Need thumbnail(const RAWClaims& claims, const Machine& machine) {
    const Counts c = countsOf(claims);
    if (claims.bayer) {
        return {bytes(c.sensorBytes + 4 * c.visible, machine),
                time(readTime(c) + kBinNanoseconds * c.visible)};
    }
    return {bytes(c.sensorBytes + 38 * c.halfDeveloped, machine),
            time(readTime(c) + kDemosaicNanoseconds * c.halfDeveloped)};
}

}  // namespace quillmere::reader::raw_budget
