#include "reader/jobs/raster_budget.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "reader/raster/linear_image_assembler.h"

namespace quillmere::reader::raster_budget {
namespace {

using std::chrono::milliseconds;

constexpr std::uint64_t kMebibyte = std::uint64_t{1} << 20;

// Processor time (raster_budget.h says how each was measured), margins included. Nanoseconds.
constexpr double kJpegFixed = 100e6;
constexpr double kJpegPerPixel = 120;
constexpr double kJpegPerScanBlock = 95;
constexpr double kHeifFixed = 100e6;
constexpr double kHeifPerMadePixel = 450;
constexpr double kLittleCmsPerPixel = 1200;
constexpr double kLittleCmsPerProfileByte = 40;

// Memory, before the margin.
constexpr double kMemoryMargin = 1.5;
constexpr std::uint64_t kFixedBytes = 16 * kMebibyte;
// A worker of TBB's, which converts the rows: its stack.
constexpr std::uint64_t kConvertingThreadBytes = 4 * kMebibyte;
// A picture libheif decodes beside others: its thread's stack and its decoder's, with TBB's.
constexpr std::uint64_t kDecodingThreadBytes = 20 * kMebibyte;
// libjpeg keeps a progressive or multi-scan file's coefficients: 64 of 16 bits a block.
constexpr std::uint64_t kCoefficientBytesPerBlock = 128;
// libheif's pictures of each output pixel (its coded picture, its RGB planes, an alpha plane),
// and of every picture made, for each byte of a sample.
constexpr std::uint64_t kHeifBytesPerPixel = 6;
constexpr std::uint64_t kHeifBytesPerMadePixel = 1;
// LittleCMS converting pixel by pixel: its transform, and the profile it holds, read.
constexpr std::uint64_t kLittleCmsBytes = 8 * kMebibyte;
constexpr std::uint64_t kLittleCmsBytesPerProfileByte = 4;
// The tables of a matrix-shaper profile for deep samples: 65536 codes of 16 bytes, three channels.
constexpr std::uint64_t kDeepTableBytes = 3 * kMebibyte;
// The answer's pixels: four halves each.
constexpr std::uint64_t kTexelBytes = 8;
// A thumbnail's 8-bit RGB: as decoded, turned and fitted.
constexpr std::uint64_t kThumbnailBytesPerPixel = 3 * 3;

std::uint64_t pixelsOf(std::int64_t width, std::int64_t height) {
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
}

unsigned threads() { return std::max(1u, std::thread::hardware_concurrency()); }

milliseconds millisecondsOf(double nanoseconds) {
    return milliseconds(static_cast<std::int64_t>(std::ceil(nanoseconds / 1e6)));
}

std::uint64_t withMargin(std::uint64_t bytes) {
    return static_cast<std::uint64_t>(std::ceil(kMemoryMargin * static_cast<double>(bytes)));
}

// The work's `bytes` with their margin, and the answer's `pixels`, which are what they are.
std::uint64_t withAnswer(std::uint64_t bytes, std::uint64_t pixels) {
    return withMargin(bytes) + kTexelBytes * pixels;
}

double littleCmsTime(IccConversion conversion, std::uint64_t pixels, std::size_t profileBytes) {
    if (conversion != IccConversion::perPixel) return 0;
    return kLittleCmsPerPixel * static_cast<double>(pixels) +
           kLittleCmsPerProfileByte * static_cast<double>(profileBytes);
}

std::uint64_t littleCmsBytes(IccConversion conversion, std::size_t profileBytes) {
    if (conversion != IccConversion::perPixel) return 0;
    return kLittleCmsBytes + kLittleCmsBytesPerProfileByte * profileBytes;
}

double jpegTime(const JpegClaim& claim, std::uint64_t pixels, IccConversion conversion) {
    return kJpegFixed + kJpegPerPixel * static_cast<double>(pixels) +
           kJpegPerScanBlock * static_cast<double>(claim.scanBlocks) +
           littleCmsTime(conversion, pixels, claim.iccProfile.size());
}

std::uint64_t jpegBytes(const JpegClaim& claim, IccConversion conversion) {
    return kFixedBytes + threads() * kConvertingThreadBytes +
           (claim.keepsCoefficients ? kCoefficientBytesPerBlock * claim.blocks : 0) +
           littleCmsBytes(conversion, claim.iccProfile.size());
}

double heifTime(const HeifClaim& claim) {
    return kHeifFixed + kHeifPerMadePixel * static_cast<double>(claim.madePixels);
}

std::uint64_t heifBytes(const HeifClaim& claim) {
    const std::uint64_t sampleBytes = claim.bitDepth > 8 ? 2 : 1;
    return kFixedBytes + threads() * kDecodingThreadBytes +
           sampleBytes * (kHeifBytesPerPixel * pixelsOf(claim.width, claim.height) +
                          kHeifBytesPerMadePixel * claim.madePixels);
}

}  // namespace

Budget ofJpegImage(const JpegClaim& claim, int orientation, IccConversion conversion) {
    const std::uint64_t pixels = pixelsOf(claim.width, claim.height);
    const std::uint64_t rows = LinearImageAssembler::workingBytes(
        claim.width, static_cast<std::size_t>(claim.width * claim.components), orientation, true,
        threads());
    return {withAnswer(jpegBytes(claim, conversion) + rows, pixels),
            millisecondsOf(jpegTime(claim, pixels, conversion))};
}

Budget ofJpegThumbnail(const JpegClaim& claim, std::int64_t scaledWidth, std::int64_t scaledHeight,
                       IccConversion conversion) {
    const std::uint64_t pixels = pixelsOf(scaledWidth, scaledHeight);
    // libjpeg hands grey and YCbCr over as RGB; CMYK only goes through the profile.
    const IccConversion used = claim.components == 4 ? conversion : IccConversion::tables;
    return {withMargin(jpegBytes(claim, used) + kThumbnailBytesPerPixel * pixels),
            millisecondsOf(jpegTime(claim, pixels, used))};
}

Budget ofHeifImage(const HeifClaim& claim, IccConversion conversion) {
    const std::uint64_t pixels = pixelsOf(claim.width, claim.height);
    const std::uint64_t rows =
        LinearImageAssembler::workingBytes(claim.width, 0, 1, true, threads());
    const std::uint64_t tables = claim.bitDepth > 8 ? kDeepTableBytes : 0;
    return {withAnswer(heifBytes(claim) + rows + tables +
                           littleCmsBytes(conversion, claim.iccProfile.size()),
                       pixels),
            millisecondsOf(heifTime(claim) +
                           littleCmsTime(conversion, pixels, claim.iccProfile.size()))};
}

Budget ofHeifThumbnail(const HeifClaim& claim) {
    const std::uint64_t pixels = pixelsOf(claim.width, claim.height);
    // libheif turns the picture into 8-bit RGB itself; no profile is read.
    return {withMargin(heifBytes(claim) + kThumbnailBytesPerPixel * pixels),
            millisecondsOf(heifTime(claim))};
}

}  // namespace quillmere::reader::raster_budget
