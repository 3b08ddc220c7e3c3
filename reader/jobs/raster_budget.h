#pragma once

#include <chrono>
#include <cstdint>

#include "reader/colour/icc_claim.h"
#include "reader/heif/heif_file.h"
#include "reader/jpeg/jpeg_file.h"

// What reading a raster photo may take: the memory and processor time an honest JPEG or HEIF
// file needs for what it claims, with a margin. A file that needs more is no honest photo of its
// claim (its ICC profile costs LittleCMS far more than any photo's does, say), and is ended there.
//
// Measured with bench/tools/raster_reading_costs, which runs the jobs as the reader does (in a
// process of their own, the claim first) over 1,385 photos: every JPEG, HEIC, HEIF and AVIF under
// the real-photo sets (camera and phone JPEGs of up to 26 megapixels, progressive, grey and CMYK
// ones with their profiles, lookup-table RGB profiles up to 1.6 MB, HEICs of up to 63 grid tiles,
// 10- and 12-bit HEIF and AVIF, lossless AVIF) and the bench photos (a 24-megapixel JPEG, a
// 12-megapixel grid HEIC, a 200-megapixel one); processor time of all threads after the claim,
// and memory as the least data limit (RLIMIT_DATA, after what the claim left) the work gets
// through with, on an 8-core machine. The shapes below (what grows with what) fit those
// measurements; each constant is the fit's, times the worst photo's measured need over the fit,
// times the margin:
//   JPEG processor time: 25 ns a pixel, 20 ns a block each scan goes over; the worst photo needs
//     1.55 times that. The work every photo costs (the threads started, the sRGB tables made):
//     at most 12 ms, 32 ms on a machine busy with other work.
//   HEIF processor time: 45 ns a pixel of every picture and canvas libheif makes, 10 ms; the
//     worst (a lossless AVIF) needs 3.31 times that.
//   LittleCMS pixel by pixel: at most 0.37 µs a pixel (an XYB JPEG's profile; CMYK profiles
//     0.13 µs, the tests' lookup table at 1024 × 1024 0.27 µs), its profile read at most 13 ns a
//     byte (a 400 KB profile in 5 ms, a 1.6 MB one in 1.3 ms).
//   Memory: 16 MiB, and the threads' stacks, which the data limit counts (8 MiB a thread of
//     libheif, of the HEVC decoder and of the AV1 decoders, 4 MiB a worker of TBB: 4 MiB a
//     processor for a JPEG, 20 MiB for a HEIF file); a JPEG's batches of rows on their way
//     (LinearImageAssembler::workingBytes) and, read in several scans, its coefficients; the
//     pictures libheif holds (its coded picture, its RGB planes, an alpha plane: 6 bytes a pixel
//     for each byte of a sample, and 1 byte a pixel of every picture made). The worst JPEG needs
//     0.85 of that (a 16-megapixel photo turned by its orientation, whose rows become columns),
//     the worst HEIF file 0.85 (a grid of 20 AV1 tiles).
// Margin: three times the worst need for processor time (a slower machine, a busy one whose caches
// others share), one and a half times for memory (which does not vary with the machine's speed).
// So a costly profile on a 1024 × 1024 photo is ended within 1.6 s of processor time (the
// profile's own reading and the pixels' conversion at LittleCMS's honest cost), on a 64 × 64
// photo within 0.15 s. With the margins, the 1,022 real photos the jobs read use at most 32 % of
// the processor time and 52 % of the memory their budgets allow (the median photo 8 % and 27 %);
// their thumbnails (of 180 pixels) at most 46 % and 56 %.
namespace quillmere::reader::raster_budget {

struct Budget {
    // Of the reader's data, and the sealed file of its answer besides (which the data limit does
    // not count, but the machine holds).
    std::uint64_t memoryBytes = 0;
    std::chrono::milliseconds processorTime{0};
};

// The whole photo (rasterImage), converted through `conversion`, upright in `orientation`.
Budget ofJpegImage(const JpegClaim& claim, int orientation, IccConversion conversion);
Budget ofHeifImage(const HeifClaim& claim, IccConversion conversion);
// Its thumbnail (rasterThumbnail): a JPEG decoded at `scaledWidth` × `scaledHeight`, a HEIF file
// decoded whole.
Budget ofJpegThumbnail(const JpegClaim& claim, std::int64_t scaledWidth, std::int64_t scaledHeight,
                       IccConversion conversion);
Budget ofHeifThumbnail(const HeifClaim& claim);

}  // namespace quillmere::reader::raster_budget
