// quillmere_metadata_costs PHOTO...
//
// What reading each photo's metadata costs, as the photo reader's metadata job reads it
// (readFileMetadata, in a fresh process for each read, which sets Exiv2 up as the reader does),
// beside the budget the job claims for it (metadataExtentOf, metadataBudget): the measured basis
// of reader/metadata/metadata_budget.h. One tab-separated line per photo (a header line first):
//   file, file bytes, the bytes its readers read, the budget's processor time (ms) and memory
//   (MiB), the processor time of the read (ms), the growth of the process's peak resident memory
//   during the read (KiB), and the least data (heap and private mappings) the read needs above
//   what the process held before it to give the same answer (MiB, found by halving between 0 and
//   256 MiB; "-" when no limit up to 256 MiB gives it), and what the photo reader itself answers
//   under the budget: "same", "other" (another answer) or "left out".
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>

#include "core/reading/metadata_answer.h"
#include "core/reading/photo_file_metadata.h"
#include "core/reading/photo_reader.h"
#include "reader/metadata/file_metadata_reading.h"
#include "reader/metadata/mapped_file.h"
#include "reader/metadata/metadata_budget.h"
#include "reader/metadata/metadata_extent.h"

namespace {

using namespace quillmere;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// A field of /proc/self/status, in KiB.
std::uint64_t statusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field + ":", 0) == 0) return std::stoull(line.substr(field.size() + 1));
    }
    return 0;
}

struct Read {
    std::size_t answer = 0;  // the answer's hash
    std::uint64_t processorMicroseconds = 0;
    std::uint64_t residentGrowthKiB = 0;
};

// Reads the metadata in a child process, its data limited to what it holds and `dataLimit` more
// when given; nothing when the read fails there.
std::optional<Read> readInChild(const char* file, std::string_view contents,
                                std::optional<std::uint64_t> dataLimit) {
    int results[2];
    if (pipe(results) != 0) return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(results[0]);
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak resident size starts afresh
        const std::uint64_t resident = statusKiB("VmRSS");
        if (dataLimit) {
            const rlim_t limit = statusKiB("VmData") * 1024 + *dataLimit;
            const rlimit data{limit, limit};
            if (setrlimit(RLIMIT_DATA, &data) != 0) _exit(2);
        }
        Read read;
        try {
            read.answer = std::hash<std::string>()(metadata_answer::encode(
                metadata_answer::withinBounds(readFileMetadata(file, contents))));
        } catch (...) {
            _exit(1);
        }
        read.residentGrowthKiB = statusKiB("VmHWM") - resident;
        if (write(results[1], &read, sizeof read) != sizeof read) _exit(1);
        _exit(0);
    }
    close(results[1]);
    Read read;
    const bool answered = ::read(results[0], &read, sizeof read) == sizeof read;
    close(results[0]);
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !answered || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    read.processorMicroseconds =
        static_cast<std::uint64_t>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 +
        static_cast<std::uint64_t>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    return read;
}

// The least data limit, in MiB, under which the read gives `answer`; nothing beyond 256 MiB.
std::optional<std::uint64_t> dataNeedMiB(const char* file, std::string_view contents,
                                         std::size_t answer) {
    const auto passes = [&](std::uint64_t mib) {
        const std::optional<Read> read = readInChild(file, contents, mib * kMiB);
        return read && read->answer == answer;
    };
    std::uint64_t low = 0, high = 256;
    if (!passes(high)) return std::nullopt;
    while (high - low > 1) {
        const std::uint64_t middle = (low + high) / 2;
        (passes(middle) ? high : low) = middle;
    }
    return high;
}

}  // namespace

int main(int argc, char** argv) {
    std::cout
        << "file\tbytes\tmetadata_bytes\tbudget_ms\tbudget_MiB\tread_ms\tresident_KiB\tdata_MiB"
           "\treader\n";
    PhotoReader reader(PhotoReader::locate(), ReaderRoom::Budget::ofMachine());
    // Every photo is read once: the store keeps nothing.
    PhotoMetadataStore store([&]() -> PhotoReader& { return reader; }, 0);
    for (int index = 1; index < argc; ++index) {
        const char* file = argv[index];
        const int descriptor = open(file, O_RDONLY | O_CLOEXEC);
        struct stat status {};
        if (descriptor < 0 || fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
            std::cerr << file << ": not a regular file\n";
            continue;
        }
        const std::optional<MappedFile> mapped =
            MappedFile::map(descriptor, static_cast<std::uint64_t>(status.st_size));
        close(descriptor);
        if (!mapped) continue;
        const std::uint64_t bytes = metadataExtentOf(mapped->bytes());
        const MetadataBudget budget = metadataBudget(bytes);
        const std::optional<Read> read = readInChild(file, mapped->bytes(), std::nullopt);
        std::cout << file << '\t' << status.st_size << '\t' << bytes << '\t'
                  << budget.processorTime.count() << '\t' << budget.memoryBytes / kMiB << '\t';
        const PhotoFileMetadata answered = *store.read(*OpenedFile::open(file));
        const std::string inReader =
            read && std::hash<std::string>()(metadata_answer::encode(answered)) == read->answer
                ? "same"
            : answered == PhotoFileMetadata{} ? "left out"
                                              : "other";
        if (!read) {
            std::cout << "failed\t-\t-\t" << inReader << '\n';
            continue;
        }
        const std::optional<std::uint64_t> need = dataNeedMiB(file, mapped->bytes(), read->answer);
        std::cout << read->processorMicroseconds / 1000.0 << '\t' << read->residentGrowthKiB << '\t'
                  << (need ? std::to_string(*need) : "-") << '\t' << inReader << std::endl;
    }
    return 0;
}
