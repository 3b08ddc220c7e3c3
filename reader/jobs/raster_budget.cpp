#include "reader/jobs/raster_budget.h"

#include <algorithm>
#include <cmath>

namespace quillmere::reader::raster_budget {
namespace {

using std::chrono::milliseconds;

// Every decode: the reader's libraries at work, LittleCMS's transform and the conversion tables
// made, libheif's decoder started.
constexpr double kFixedMilliseconds = 300;
constexpr std::uint64_t kFixedBytes = std::uint64_t{96} << 20;

// Nanoseconds of processor time.
constexpr double kJpegPerScanBlock = 100;
constexpr double kJpegPerPixel = 50;
constexpr double kHeifPerMadePixel = 150;
constexpr double kHeifPerPixel = 60;
constexpr double kLittleCmsPerPixel = 3000;
constexpr double kLittleCmsPerProfileByte = 20;

// Bytes.
constexpr std::uint64_t kTexelBytes = 8;
constexpr std::uint64_t kCoefficientBytesPerBlock = 128;
constexpr std::uint64_t kLittleCmsPerProfileByteMemory = 16;

std::uint64_t pixelsOf(std::int64_t width, std::int64_t height) {
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

milliseconds millisecondsOf(double nanoseconds) {
    return milliseconds(static_cast<std::int64_t>(std::ceil(kFixedMilliseconds + nanoseconds / 1e6)));
}

double littleCmsNanoseconds(IccConversion conversion, std::uint64_t pixels,
                            std::uint64_t profileBytes) {
    if (conversion != IccConversion::perPixel) return 0;
    return kLittleCmsPerPixel * static_cast<double>(pixels) +
           kLittleCmsPerProfileByte * static_cast<double>(profileBytes);
}

std::uint64_t jpegLibraryBytes(const JpegClaim& claim) {
    return claim.keepsCoefficients ? kCoefficientBytesPerBlock * claim.blocks : 0;
}

}  // namespace

Budget ofJpegImage(const JpegClaim& claim, IccConversion conversion) {
    const std::uint64_t pixels = pixelsOf(claim.width, claim.height);
    const double nanoseconds = kJpegPerScanBlock * static_cast<double>(claim.scanBlocks) +
                               kJpegPerPixel * static_cast<double>(pixels) +
                               littleCmsNanoseconds(conversion, pixels, claim.iccProfile.size());
    return {kFixedBytes + kTexelBytes * pixels + jpegLibraryBytes(claim) +
                kLittleCmsPerProfileByteMemory * claim.iccProfile.size(),
            millisecondsOf(nanoseconds)};
}

Budget ofJpegThumbnail(const JpegClaim& claim, std::int64_t scaledWidth, std::int64_t scaledHeight,
                       IccConversion conversion) {
    const std::uint64_t pixels = pixelsOf(scaledWidth, scaledHeight);
    // libjpeg hands grey and YCbCr over as RGB, CMYK through the profile.
    const IccConversion used = claim.components == 4 ? conversion : IccConversion::tables;
    const double nanoseconds = kJpegPerScanBlock * static_cast<double>(claim.scanBlocks) +
                               kJpegPerPixel * static_cast<double>(pixels) +
                               littleCmsNanoseconds(used, pixels, claim.iccProfile.size());
    return {kFixedBytes + 16 * pixels + jpegLibraryBytes(claim) +
                kLittleCmsPerProfileByteMemory * claim.iccProfile.size(),
            millisecondsOf(nanoseconds)};
}

Budget ofHeifImage(const HeifClaim& claim, IccConversion conversion) {
    const std::uint64_t pixels = pixelsOf(claim.width, claim.height);
    const std::uint64_t sampleBytes = claim.bitDepth > 8 ? 2 : 1;
    const double nanoseconds = kHeifPerMadePixel * static_cast<double>(claim.madePixels) +
                               kHeifPerPixel * static_cast<double>(pixels) +
                               littleCmsNanoseconds(conversion, pixels, claim.iccProfile.size());
    return {kFixedBytes + kTexelBytes * pixels + 8 * sampleBytes * claim.madePixels +
                2 * claim.codedBytes + kLittleCmsPerProfileByteMemory * claim.iccProfile.size(),
            millisecondsOf(nanoseconds)};
}

Budget ofHeifThumbnail(const HeifClaim& claim) {
    const std::uint64_t pixels = pixelsOf(claim.width, claim.height);
    const std::uint64_t sampleBytes = claim.bitDepth > 8 ? 2 : 1;
    const double nanoseconds = kHeifPerMadePixel * static_cast<double>(claim.madePixels) +
                               kHeifPerPixel * static_cast<double>(pixels);
    return {kFixedBytes + 3 * pixels + 8 * sampleBytes * claim.madePixels + 2 * claim.codedBytes,
            millisecondsOf(nanoseconds)};
}

}  // namespace quillmere::reader::raster_budget
