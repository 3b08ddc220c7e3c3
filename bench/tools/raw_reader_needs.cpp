// quillmere_raw_reader_needs <photo>...
//
// What each RAW job of the photo reader (reader/jobs/raw_jobs.h) needs of the photos given,
// against what its claim lets it take (reader/jobs/raw_budget.h). Each job runs as the reader runs
// it, in a process of its own: its claim read first, then its work under a data limit (RLIMIT_DATA,
// which the reader lowers to its claim when told to go). The work runs once without a limit, for
// its processor time (all threads) and peak resident size, then again and again under a lower
// limit, halving the interval between the least that failed and the least that answered, to
// within 1 MiB. The sensor's session is its read, one development of its own plane and one of a
// plane sent to it (as the Detail path sends the denoised plane), all under one limit.
//
// For each photo and job it prints the claim's memory and processor time and what the job took:
// the least data limit it answered under (as the reader's limit, which the claim phase's data is
// part of), its peak resident size, its processor time, and the share of the claim each took.
// Run it on a Release build; the claims' margins (raw_budget.h) rest on its figures.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/reading/raw_answers.h"
#include "reader/jobs/job_registry.h"
#include "reader/service/limits.h"

namespace {

using namespace quillmere;
using namespace quillmere::reader;
using reader_protocol::JobKind;

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;

// One job's request, as the program sends it.
struct Step {
    JobKind kind;
    std::string params;
    // A development of the plane the session's read answered, sent back as the program sends one.
    bool sendsPlane = false;
};

struct Job {
    const char* name;
    std::vector<Step> steps;
};

constexpr std::size_t kMostSteps = 3;

// What a child reports to its parent.
struct Report {
    bool answered = false;
    std::uint64_t claimedMemory = 0;  // the first step's, with the claim phase's data
    // Each step's claimed and used processor time.
    std::int64_t claimedMilliseconds[kMostSteps] = {};
    std::int64_t usedMilliseconds[kMostSteps] = {};
};

double processorMilliseconds() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_nsec) / 1e6;
}

// Runs the job's steps on `photo` as the reader does, its work under `dataLimit` (none for 0).
Report runJob(const Job& job, const std::string& photo, std::uint64_t dataLimit) {
    Report report;
    const int file = open(photo.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (file < 0 || fstat(file, &status) != 0) return report;
    const Photo read{file, "/proc/self/fd/" + std::to_string(file),
                     static_cast<std::uint64_t>(status.st_size)};
    std::unique_ptr<reader::Job> session;
    UniqueDescriptor plane;
    for (std::size_t index = 0; index < job.steps.size(); ++index) {
        const Step& step = job.steps[index];
        Request request{step.kind, step.params, {}};
        if (step.sendsPlane) {
            request.files.emplace_back(fcntl(plane.get(), F_DUPFD_CLOEXEC, 0));
        }
        std::unique_ptr<reader::Job> made;
        reader::Job* current = session.get();
        if (!current) {
            made = makeJob(step.kind);
            current = made.get();
        }
        Claim claim;
        try {
            claim = current->claim(read, request);
        } catch (const std::exception&) {
            return report;
        }
        report.claimedMilliseconds[index] = claim.processorTime.count();
        if (!session) {
            report.claimedMemory = claim.memoryBytes + kClaimPhaseDataBytes;
            if (dataLimit != 0) {
                const rlimit limit{dataLimit, dataLimit};
                if (setrlimit(RLIMIT_DATA, &limit) != 0) return report;
            }
            session = std::move(made);
        }
        const double started = processorMilliseconds();
        try {
            Answer answer = current->run(read, request);
            if (step.kind == JobKind::rawSensor) plane = std::move(answer.files.front());
        } catch (...) {
            return report;
        }
        report.usedMilliseconds[index] =
            static_cast<std::int64_t>(processorMilliseconds() - started);
    }
    report.answered = true;
    return report;
}

struct Outcome {
    Report report;
    long peakKiB = 0;
    bool ended = false;
};

// The job run in a child process; a child that dies (memory or threads ran out) answered nothing.
Outcome runInChild(const Job& job, const std::string& photo, std::uint64_t dataLimit) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return {};
    const pid_t child = fork();
    if (child == 0) {
        close(ends[0]);
        const Report report = runJob(job, photo, dataLimit);
        [[maybe_unused]] const ssize_t written = write(ends[1], &report, sizeof report);
        _exit(0);
    }
    close(ends[1]);
    Outcome outcome;
    const bool read = ::read(ends[0], &outcome.report, sizeof outcome.report) ==
                      static_cast<ssize_t>(sizeof outcome.report);
    close(ends[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    outcome.peakKiB = usage.ru_maxrss;
    outcome.ended = read && WIFEXITED(status);
    if (!outcome.ended) outcome.report.answered = false;
    return outcome;
}

void measure(const std::string& photo) {
    const std::string longest = raw_answers::encodeThumbnailParams(180);
    const std::vector<Job> jobs = {
        {"sensor session",
         {{JobKind::rawSensor, {}},
          {JobKind::rawDevelop, raw_answers::encodeDevelopParams(true)},
          {JobKind::rawDevelop, raw_answers::encodeDevelopParams(false), true}}},
        {"development", {{JobKind::rawDevelopment, {}}}},
        {"thumbnail", {{JobKind::rawThumbnail, longest}}},
    };
    for (const Job& job : jobs) {
        const Outcome free = runInChild(job, photo, 0);
        if (!free.report.answered) {
            std::printf("%s\t%s\trefused\n", photo.c_str(), job.name);
            continue;
        }
        // The least limit it answers under: `answered` always answers, `failed` never did.
        std::uint64_t failed = 0, answered = 0;
        for (std::uint64_t limit = free.report.claimedMemory; !answered; limit = limit * 2) {
            if (runInChild(job, photo, limit).report.answered) {
                answered = limit;
            } else {
                failed = limit;
                if (limit > 64 * free.report.claimedMemory) break;
            }
        }
        while (answered != 0 && answered - failed > kMiB) {
            const std::uint64_t middle = failed + (answered - failed) / 2;
            (runInChild(job, photo, middle).report.answered ? answered : failed) = middle;
        }
        const Report& claim = free.report;
        std::printf(
            "%s\t%s\tmemory: claim %.1f MiB, needs %.1f MiB (%.0f %%), peak RSS %.1f MiB",
            photo.c_str(), job.name, static_cast<double>(claim.claimedMemory) / kMiB,
            static_cast<double>(answered) / kMiB,
            100.0 * static_cast<double>(answered) / static_cast<double>(claim.claimedMemory),
            static_cast<double>(free.peakKiB) / 1024.0);
        for (std::size_t index = 0; index < job.steps.size(); ++index) {
            std::printf("\tprocessor: claim %lld ms, took %lld ms (%.0f %%)",
                        static_cast<long long>(claim.claimedMilliseconds[index]),
                        static_cast<long long>(claim.usedMilliseconds[index]),
                        100.0 * static_cast<double>(claim.usedMilliseconds[index]) /
                            static_cast<double>(claim.claimedMilliseconds[index]));
        }
        std::printf("\n");
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quillmere_raw_reader_needs <photo>...\n");
        return 2;
    }
    for (int index = 1; index < argc; ++index) measure(argv[index]);
    return 0;
}
