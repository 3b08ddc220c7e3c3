#pragma once

#include <chrono>
#include <cstdint>

#include "rawbridge/raw_claims.h"

// What each RAW job may take, worked out from the file's claims (rawbridge/raw_claims.h): the
// memory it claims (its data limit in the reader, above the claim phase's, and its share of the
// reader room) and the processor time of all its threads together. The formulas count what the
// bridge and LibRaw allocate for a file of those claims, and the time they take, times a margin.
//
// Memory, in bytes, with S the unpacked sensor (LibRaw keeps 2 bytes for each site of a mosaic
// and 8, four channels, for each full-colour pixel, margins included), V the visible sites, D
// the pixels of the full development (its stretch of non-square samples included), H those of the
// half-size development, and P the machine's logical processors:
//
//   sensor session  (2 S + 12 V) × margin + P × per processor
//                   the unpacked sensor and its copy while a plane sent is developed (2 S), the
//                   plane sent, mapped (4 V), LibRaw's demosaiced image (8 V); the plane read
//                   and the developments leave in sealed files, outside the data limit
//   development     (S + 8 V + 22 D) × margin + P × per processor
//                   the unpacked sensor, the image before and after its stretch (8 V + 8 D),
//                   LibRaw's 16-bit image (6 D) and the half-float copy the bridge hands out (8 D)
//   thumbnail       a Bayer sensor: (S + 4 V) × margin + P × per processor
//                   the unpacked sensor, the binned picture and its texture (2 × 8 V / 4);
//                   any other: (S + 38 H) × margin + P × per processor
//                   a half-size development as above (30 H) and its texture (8 H)
//
// Each processor's share is what the threads the libraries start on it hold in the data limit
// whether they use it or not: a thread of LibRaw's OpenMP team with the reader's thread stack
// (8 MiB where the stack limit is 8 MiB) and its demosaic's tile (6.5 MiB), and a worker of the
// compute device, whose stack is 4 MiB.
//
// Processor time, in milliseconds' worth of nanoseconds, times the time margin, and a fixed
// part for the threads' start and the libraries' waits:
//
//   sensor read     kReadNanoseconds × stored samples
//   development     of the sensor: kDemosaicNanoseconds × V; LibRaw's whole: the read and
//                   kDemosaicNanoseconds × D
//   thumbnail       the read and kBinNanoseconds × V for a Bayer sensor, kDemosaicNanoseconds × H
//                   for any other
//
// Measured with bench/tools/quillmere_raw_reader_needs (a Release build on 8 logical processors,
// thread stacks of 8 MiB), which runs each job as the reader does under a data limit lowered to
// the least it answers under, on 35 files: the 24-megapixel Bayer, full-colour and four-colour
// DNGs of quillmere_bench_photos and the tests' colour chart, 30 real camera files (Canon
// PowerShot G2 and S40 CRW, another Canon's CRW, Kodak DC50 and DC120 KDC, a Kodak C330 .RAW, a
// Nikon D1 NEF, a Canon EOS 550D DNG and a Canon EOS 6D full-colour DNG) and a DNG the program
// exported. Of the limit the claim
// sets (the claim and the claim phase's 64 MiB), the jobs needed at most 69 % (a sensor session
// of a 0.4-megapixel KDC, where the threads weigh most; 54 % for the 24-megapixel sensor: 512 of
// 944 MiB), developments at most 49 % and thumbnails 41 %; of the processor time claimed, at most
// 23 % (a small file's development; a 24-megapixel sensor read 0.7 of 10.6 s, each development
// 2.8 to 3.1 of 20.2 s, LibRaw's whole development 2.8 of 29.8 s, its thumbnail 0.4 of 12.5 s).
namespace quillmere::reader::raw_budget {

inline constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

inline constexpr double kMosaicSiteBytes = 2.0;
inline constexpr double kFullColourSiteBytes = 8.0;
inline constexpr double kMemoryMargin = 2.0;
// LibRaw's AHD demosaic works in tiles of 512 × 512 pixels, 26 bytes each, one per thread.
inline constexpr std::uint64_t kDemosaicTileBytes = 26 * 512 * 512;
// oneTBB's worker threads' stacks, the compute device's.
inline constexpr std::uint64_t kWorkerStackBytes = 4 * kMiB;

inline constexpr double kReadNanoseconds = 100.0;
inline constexpr double kDemosaicNanoseconds = 200.0;
inline constexpr double kBinNanoseconds = 20.0;
inline constexpr double kTimeMargin = 4.0;
inline constexpr std::chrono::milliseconds kFixedTime{250};

struct Need {
    std::uint64_t memoryBytes = 0;
    std::chrono::milliseconds processorTime{0};
};

// The machine the reader runs on: its logical processors and the stack of a new thread
// (pthread_getattr_default_np, which follows the stack limit the program was started with).
struct Machine {
    unsigned processors = 1;
    std::uint64_t threadStackBytes = 8 * kMiB;

    static Machine ofThisProcess();
};

// The sensor read and every development of its session (whose memory the read claims), the time
// of the read alone.
Need sensorSession(const rawbridge::RAWClaims& claims, const Machine& machine);
// One development of the sensor, a follow-up of its session.
Need sensorDevelopment(const rawbridge::RAWClaims& claims, const Machine& machine);
// LibRaw's whole development at full size.
Need fullDevelopment(const rawbridge::RAWClaims& claims, const Machine& machine);
// The thumbnail: a Bayer sensor binned, any other file developed at half size.
Need thumbnail(const rawbridge::RAWClaims& claims, const Machine& machine);

}  // namespace quillmere::reader::raw_budget
