// quillmere_raster_reading_costs [--thumbnail | --claims] <photo>...
//
// What the photo reader's raster jobs (reader/jobs/raster_jobs.h) claim for each photo beside what
// they need, to set and check the budgets of reader/jobs/raster_budget.cpp on real photos. Each
// photo is read in a child process of its own as the reader reads it (the job's claim, then its
// work), once without limits for the processor time the work takes (all its threads), then again
// under a data limit (RLIMIT_DATA, as the reader's) lowered step by step, halving the gap, to the
// least memory the work gets through with, above what the process held when it started. Its
// allocations and threads are noted as the reader's are (allocation_note.h): a thread that cannot
// start for want of memory ends the child, as it ends the reader.
//
// Prints a line a photo: its name, the claimed memory and the memory needed (MiB), the claimed and
// used processor time (ms), the claim's text, and the peak resident memory of the process that
// read it without limits (MiB, its answer's pixels included); a photo the job refuses says why.
// Then the least share of its claim any photo was left with, of memory and of processor time: a
// share below 0 means a photo needs more than its claim. With --claims it only prints what each
// photo claims, as the budgets take it (raster_budget.h), without reading its pixels.
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

#include "core/reading/raster_answers.h"
#include "reader/colour/icc_claim.h"
#include "reader/heif/heif_file.h"
#include "reader/jobs/raster_jobs.h"
#include "reader/jpeg/jpeg_file.h"
#include "reader/raster/raster_kind.h"
#include "reader/service/allocation_note.h"

namespace {

using namespace quillmere;
using namespace quillmere::reader;

constexpr std::uint64_t kMebibyte = std::uint64_t{1} << 20;

// What a child reports back through its pipe.
struct Report {
    bool claimed = false;
    bool answered = false;
    std::uint64_t memoryBytes = 0;
    std::int64_t claimedMilliseconds = 0;
    double usedMilliseconds = 0;
    char text[512] = {};
    char refusal[512] = {};
    // Filled in by the parent, from the child's end.
    double peakMebibytes = 0;
};

std::uint64_t dataBytesNow() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmData:")) return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
}

double processorMilliseconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& time) { return time.tv_sec * 1e3 + time.tv_usec / 1e3; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The job on `path` in this process: its claim, then its work, under a data limit of `limit`
// bytes above what the process holds after the claim when `limit` is set.
Report readHere(const std::string& path, bool thumbnail, std::optional<std::uint64_t> limit) {
    Report report;
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (descriptor < 0 || fstat(descriptor, &status) != 0) {
        std::snprintf(report.text, sizeof report.text, "cannot be opened");
        return report;
    }
    const Photo photo{descriptor, "/proc/self/fd/" + std::to_string(descriptor),
                      static_cast<std::uint64_t>(status.st_size)};
    const Request request{
        thumbnail ? reader_protocol::JobKind::rasterThumbnail : reader_protocol::JobKind::rasterImage,
        thumbnail ? raster_answers::ThumbnailRequest{180}.encode() : std::string(), {}};
    const std::unique_ptr<Job> job = thumbnail ? makeRasterThumbnailJob() : makeRasterImageJob();
    try {
        const Claim claim = job->claim(photo, request);
        report.claimed = true;
        report.memoryBytes = claim.memoryBytes;
        report.claimedMilliseconds = claim.processorTime.count();
        std::snprintf(report.text, sizeof report.text, "%s", claim.claimed.c_str());
        if (limit) {
            const rlim_t data = dataBytesNow() + *limit;
            const rlimit lowered{data, data};
            setrlimit(RLIMIT_DATA, &lowered);
        }
        const double before = processorMilliseconds();
        job->run(photo, request);
        report.usedMilliseconds = processorMilliseconds() - before;
        report.answered = !allocationFailed();
    } catch (const std::exception& error) {
        std::snprintf(report.refusal, sizeof report.refusal, "%s", error.what());
    }
    return report;
}

// readHere in a child process, which the limit and the threads it starts die with.
std::optional<Report> readInChild(const std::string& path, bool thumbnail,
                                  std::optional<std::uint64_t> limit) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const Report report = readHere(path, thumbnail, limit);
        const ssize_t written = write(pipeEnds[1], &report, sizeof report);
        _exit(written == sizeof report ? 0 : 1);
    }
    close(pipeEnds[1]);
    Report report;
    const bool read = child > 0 && ::read(pipeEnds[0], &report, sizeof report) == sizeof report;
    close(pipeEnds[0]);
    rusage usage{};
    if (child > 0) wait4(child, nullptr, 0, &usage);
    if (!read) return std::nullopt;
    report.peakMebibytes = static_cast<double>(usage.ru_maxrss) / 1024;
    return report;
}

const char* conversionName(std::string_view profile, LinearSrgbTransform::Input input) {
    return iccConversionOf(profile, input) == IccConversion::perPixel ? "perPixel" : "tables";
}

// What the photo at `path` claims, on one line.
void printClaims(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    try {
        switch (rasterKindOf(bytes)) {
            case RasterKind::jpeg: {
                const JpegClaim claim = JpegFile(bytes).claim();
                using Input = LinearSrgbTransform::Input;
                const Input input = claim.components == 1   ? Input::gray
                                    : claim.components == 4 ? Input::cmyk
                                                            : Input::rgb;
                std::printf("%s\tjpeg\t%lld\t%lld\t%d\t%d\t%llu\t%llu\t%s\t%zu\n", path.c_str(),
                            static_cast<long long>(claim.width), static_cast<long long>(claim.height),
                            claim.components, claim.keepsCoefficients ? 1 : 0,
                            static_cast<unsigned long long>(claim.blocks),
                            static_cast<unsigned long long>(claim.scanBlocks),
                            conversionName(claim.iccProfile, input), claim.iccProfile.size());
                return;
            }
            case RasterKind::heif: {
                HeifFile heif(bytes);
                const HeifClaim& claim = heif.claim();
                std::printf("%s\theif\t%lld\t%lld\t%d\t%d\t%llu\t%llu\t%s\t%zu\t%llu\n",
                            path.c_str(), static_cast<long long>(claim.width),
                            static_cast<long long>(claim.height), claim.bitDepth, claim.alpha ? 1 : 0,
                            static_cast<unsigned long long>(claim.pictures),
                            static_cast<unsigned long long>(claim.madePixels),
                            conversionName(claim.iccProfile, LinearSrgbTransform::Input::rgb),
                            claim.iccProfile.size(),
                            static_cast<unsigned long long>(claim.codedBytes));
                return;
            }
            case RasterKind::other:
                break;
        }
        std::printf("%s\tother\n", path.c_str());
    } catch (const std::exception& error) {
        std::printf("%s\trefused\t%s\n", path.c_str(), error.what());
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool thumbnail = false;
    int first = 1;
    if (argc > 1 && std::string_view(argv[1]) == "--claims") {
        for (int argument = 2; argument < argc; ++argument) printClaims(argv[argument]);
        return 0;
    }
    if (argc > 1 && std::string_view(argv[1]) == "--thumbnail") {
        thumbnail = true;
        first = 2;
    }
    double leastMemoryShare = 1, leastTimeShare = 1;
    std::printf("photo\tclaimed MiB\tneeded MiB\tclaimed ms\tused ms\tclaim\tpeak MiB\n");
    for (int argument = first; argument < argc; ++argument) {
        const std::string path = argv[argument];
        const std::optional<Report> unlimited = readInChild(path, thumbnail, std::nullopt);
        if (!unlimited || !unlimited->answered) {
            std::printf("%s\trefused %s: %s\n", path.c_str(),
                        unlimited && unlimited->claimed ? "at work" : "at its claim",
                        unlimited ? unlimited->refusal : "the child died");
            continue;
        }
        // The least limit the work gets through with, to a 64th of the claim (at least 1 MiB),
        // between none and the claim, or four times the claim for a photo that needs more.
        std::uint64_t low = 0, high = unlimited->memoryBytes;
        for (const std::uint64_t tried : {high, 4 * high}) {
            high = tried;
            const std::optional<Report> report = readInChild(path, thumbnail, high);
            if (report && report->answered) break;
            low = high;
        }
        if (low == high) {
            std::printf("%s\tneeds more than four times its claim\n", path.c_str());
            leastMemoryShare = -3;
            continue;
        }
        const std::uint64_t step = std::max(kMebibyte, unlimited->memoryBytes / 64);
        while (high - low > step) {
            const std::uint64_t middle = low + (high - low) / 2;
            const std::optional<Report> tried = readInChild(path, thumbnail, middle);
            (tried && tried->answered ? high : low) = middle;
        }
        std::printf("%s\t%.1f\t%.1f\t%lld\t%.1f\t%s\t%.1f\n", path.c_str(),
                    unlimited->memoryBytes / double(kMebibyte), high / double(kMebibyte),
                    static_cast<long long>(unlimited->claimedMilliseconds),
                    unlimited->usedMilliseconds, unlimited->text, unlimited->peakMebibytes);
        leastMemoryShare =
            std::min(leastMemoryShare, 1 - double(high) / double(unlimited->memoryBytes));
        leastTimeShare = std::min(leastTimeShare, 1 - unlimited->usedMilliseconds /
                                                          double(unlimited->claimedMilliseconds));
    }
    std::printf("least share of the claim left: memory %.3f, processor time %.3f\n",
                leastMemoryShare, leastTimeShare);
    return 0;
}
