#include "reader/service/service.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <csignal>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>

#include "core/reading/channel.h"
#include "core/reading/wire.h"
#include "reader/service/allocation_note.h"
#include "reader/service/limits.h"

namespace quillmere::reader {
namespace {

using reader_protocol::kChannel;
using reader_protocol::kPhoto;
using reader_protocol::kUsage;
using reader_protocol::MessageKind;

std::optional<std::uint64_t> positiveNumber(const char* text) {
    std::uint64_t value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end || value == 0) return std::nullopt;
    return value;
}

std::string textBody(std::string_view text) { return WireWriter().text(text).take(); }

bool say(MessageKind kind, std::string_view body) { return sendMessage(kChannel, kind, body); }

// The photo with a file offset of the reader's own: a regular file (nothing else is opened again),
// opened again through its descriptor, never by a path the program did not look at.
std::optional<Photo> openPhoto() {
    Photo photo{kPhoto, "/proc/self/fd/" + std::to_string(kPhoto), 0};
    struct stat status {};
    if (fstat(kPhoto, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    const int own = open(photo.procPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (own < 0) return std::nullopt;
    const bool moved = dup3(own, kPhoto, O_CLOEXEC) == kPhoto;
    close(own);
    if (!moved) return std::nullopt;
    photo.size = static_cast<std::uint64_t>(status.st_size);
    return photo;
}

// What a job's step came to.
enum class Step { done, refused, memory, failed };

// Runs a job's step: its result, or how it ended otherwise. A refusal is said here; memory and a
// failure are the caller's to answer.
template <typename Result, typename Work>
Step runStep(Result& result, const Work& work) {
    try {
        result = work();
    } catch (const Refusal& refusal) {
        if (allocationFailed()) return Step::memory;
        const std::string_view sentence(refusal.what());
        return say(MessageKind::refused,
                   textBody(sentence.substr(0, reader_protocol::kMaxSentenceBytes)))
                   ? Step::refused
                   : Step::failed;
    } catch (const std::bad_alloc&) {
        return Step::memory;
    } catch (...) {
        return Step::failed;
    }
    return allocationFailed() ? Step::memory : Step::done;
}

int endOf(Step step, std::string_view claimed) {
    if (step == Step::memory) {
        say(MessageKind::memory, textBody(claimed));
        return 0;
    }
    return kJobFailed;
}

// Reads the next request; nothing at the channel's end, kUsage in `status` for anything else.
std::optional<Request> nextRequest(int& status) {
    ChannelReceipt receipt;
    try {
        receipt = receiveMessage(kChannel, true);
    } catch (const WireError&) {
        status = kUsage;
        return std::nullopt;
    }
    status = receipt.status == ChannelReceipt::Status::ended ? 0 : kUsage;
    if (receipt.status != ChannelReceipt::Status::message ||
        receipt.message.kind != MessageKind::request) {
        return std::nullopt;
    }
    try {
        WireReader reader(receipt.message.body);
        Request request;
        request.kind = static_cast<reader_protocol::JobKind>(reader.u32());
        request.params = std::string(reader.bytes(reader_protocol::kMaxBodyBytes));
        reader.finish();
        request.files = std::move(receipt.message.files);
        return request;
    } catch (const WireError&) {
        status = kUsage;
        return std::nullopt;
    }
}

// Whether the program said go; anything else ends the reader, with `status` 0 at the channel's
// end (the program did not admit the claim) and kUsage otherwise.
bool toldToGo(int& status) {
    try {
        const ChannelReceipt receipt = receiveMessage(kChannel, true);
        status = receipt.status == ChannelReceipt::Status::ended ? 0 : kUsage;
        return receipt.status == ChannelReceipt::Status::message &&
               receipt.message.kind == MessageKind::go;
    } catch (const WireError&) {
        status = kUsage;
        return false;
    }
}

// The memory the reader may hold once told to go: the claim's and the claim phase's budget.
std::uint64_t withClaimPhase(std::uint64_t memoryBytes) {
    std::uint64_t sum = 0;
    return __builtin_add_overflow(memoryBytes, kClaimPhaseDataBytes, &sum) ? UINT64_MAX : sum;
}

}  // namespace

int serve(int argc, char** argv, const JobMaker& makeJob) {
    if (argc != 3) return kUsage;
    const std::optional<std::uint64_t> program = positiveNumber(argv[1]);
    const std::optional<std::uint64_t> ceiling = positiveNumber(argv[2]);
    if (!program || !ceiling) return kUsage;
    // Ends with the thread of the program that started it (which waits for its end); a program
    // gone before this line left the reader to another parent, and nobody to read its answer.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 ||
        static_cast<std::uint64_t>(getppid()) != *program) {
        return kUsage;
    }
    // The limits come first, before any library sees a byte of the photo.
    ReaderLimits limits;
    if (!limits.start(*ceiling)) return kUsage;
    noteMemoryInCrashes(kChannel, inlinePacket(MessageKind::memory, textBody({})));
    const std::optional<Photo> photo = openPhoto();
    if (!photo) return kUsage;

    // The job of the session, once its first request was told to go, and the memory it claimed.
    std::unique_ptr<Job> job;
    std::uint64_t sessionMemory = 0;
    for (;;) {
        int status = 0;
        std::optional<Request> request = nextRequest(status);
        if (!request) return status;

        std::unique_ptr<Job> made;
        Job* current = job.get();
        if (!job) {
            made = makeJob(request->kind);
            current = made.get();
            if (!current && !say(MessageKind::refused, textBody(kUnknownJob))) return kUsage;
            if (!current) continue;
        } else if (!job->takesFollowUp(request->kind)) {
            // A session's follow-ups are its job's; any other request says nothing of the photo.
            return kUsage;
        }

        limits.startClock(kClaimPhaseProcessorTime);
        Claim claim;
        Step step = runStep(claim, [&] { return current->claim(*photo, *request); });
        limits.stopClock();
        if (step == Step::refused) continue;
        if (step != Step::done) return endOf(step, {});
        const bool first = !job;
        // A follow-up runs within the memory its session claimed first.
        if (!first && claim.memoryBytes > sessionMemory) return endOf(Step::memory, claim.claimed);
        const std::uint64_t claimedMemory = first ? withClaimPhase(claim.memoryBytes) : 0;
        const auto processorTime = static_cast<std::uint64_t>(
            std::max<std::chrono::milliseconds::rep>(claim.processorTime.count(), 0));
        const std::string body =
            WireWriter()
                .u64(claimedMemory)
                .u64(processorTime)
                .text(claim.claimed.substr(0, reader_protocol::kMaxClaimedTextBytes))
                .take();
        if (!say(MessageKind::claim, body)) return kUsage;
        if (!toldToGo(status)) return status;

        if (first) {
            if (!limits.lowerDataLimit(claimedMemory)) return endOf(Step::memory, claim.claimed);
            job = std::move(made);
            sessionMemory = claim.memoryBytes;
        }
        Answer answer;
        limits.startClock(claim.processorTime);
        step = runStep(answer, [&] { return current->run(*photo, *request); });
        limits.stopClock();
        if (step == Step::refused) continue;
        if (step != Step::done) return endOf(step, {});
        std::vector<int> files;
        for (const UniqueDescriptor& file : answer.files) files.push_back(file.get());
        if (!sendMessage(kChannel, MessageKind::answer, answer.body, files)) return kUsage;
    }
}

}  // namespace quillmere::reader
