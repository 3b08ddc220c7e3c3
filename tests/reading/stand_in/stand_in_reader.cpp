// A stand-in for the photo reader, on the reader's own service (reader/service), whose one job
// does what its params say: answers honestly or with broken files, crashes, hangs, kills itself,
// runs out of memory or processor time, claims what no reader may, or waits for a word from the
// test. Params are "BEHAVIOUR" or "BEHAVIOUR ARGUMENT". A session (kind rawSensor) takes the
// follow-ups of kind rawDevelop; any other kind but metadata is no job it knows.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/reading/channel.h"
#include "core/reading/dng_xmp_exchange.h"
#include "core/reading/sealed_file.h"
#include "core/reading/wire.h"
#include "reader/service/answer_file.h"
#include "reader/service/service.h"

namespace quillmere::reader {
namespace {

using namespace std::chrono_literals;
using reader_protocol::JobKind;
using reader_protocol::MessageKind;

std::string behaviourOf(const Request& request) {
    return request.params.substr(0, request.params.find(' '));
}

std::string argumentOf(const Request& request) {
    const std::size_t space = request.params.find(' ');
    return space == std::string::npos ? std::string() : request.params.substr(space + 1);
}

std::uint64_t sizeOf(const Request& request) { return std::stoull(argumentOf(request)); }

std::chrono::milliseconds processorTimeUsed() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec));
}

void spinUntil(std::chrono::milliseconds used) {
    volatile std::uint64_t turns = 0;
    while (processorTimeUsed() < used) turns = turns + 1;
}

// The reader's data (heap and private writable mappings) now, as its data limit counts them.
rlim_t dataBytesHeld() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmData:")) return std::stoull(line.substr(7)) * 1024;
    }
    return 0;
}

// Asks for `mebibytes` of memory (kept, so that the compiler cannot leave the allocation out), and
// gives back whatever it got.
void allocate(std::size_t mebibytes) {
    void* volatile block = std::malloc(mebibytes << 20);
    std::free(block);
}

// What the reader was started with: its open descriptors and where its standard streams lead,
// and which of the standard signals (1 to 31; the C library keeps the real-time ones above for
// itself) it blocks or ignores.
std::string inherited() {
    std::string found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        const std::string number = entry.path().filename();
        std::error_code error;
        const std::string target = std::filesystem::read_symlink(entry.path(), error);
        if (target.find("/proc/") == std::string::npos)
            found += number + "=" + (std::stoi(number) < 3 ? target : "") + " ";
    }
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("SigBlk") || line.starts_with("SigIgn")) {
            const std::uint64_t signals =
                std::stoull(line.substr(line.find('\t') + 1), nullptr, 16);
            found += line.substr(0, 7) + std::to_string(signals & 0x7FFF'FFFF) + " ";
        }
    }
    return found;
}

std::byte patternAt(std::uint64_t index) { return static_cast<std::byte>(index % 251); }

// A memory file of `bytes` bytes of the pattern with `seals`.
UniqueDescriptor memoryFile(std::uint64_t bytes, int seals) {
    UniqueDescriptor file(memfd_create("stand-in", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    std::vector<std::byte> pattern(bytes);
    for (std::uint64_t index = 0; index < bytes; ++index) pattern[index] = patternAt(index);
    if (write(file.get(), pattern.data(), bytes) != static_cast<ssize_t>(bytes) ||
        (seals != 0 && fcntl(file.get(), F_ADD_SEALS, seals) != 0)) {
        std::abort();
    }
    return file;
}

// A SIGBUS at `address` on this thread, with the kernel's code for an address that has no page.
[[noreturn]] void busError(const void* address) {
    siginfo_t info{};
    info.si_signo = SIGBUS;
    info.si_code = BUS_ADRERR;
    info.si_addr = const_cast<void*>(address);
    syscall(SYS_rt_tgsigqueueinfo, getpid(), gettid(), SIGBUS, &info);
    std::abort();
}

// Sends an answer itself, around the service's checks.
void sendAnswer(std::string_view body, const std::vector<int>& files) {
    const std::string packet = inlinePacket(MessageKind::answer, body);
    iovec bytes{const_cast<char*>(packet.data()), packet.size()};
    msghdr message{};
    message.msg_iov = &bytes;
    message.msg_iovlen = 1;
    std::vector<unsigned char> control(CMSG_SPACE(files.size() * sizeof(int)));
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(files.size() * sizeof(int));
    std::memcpy(CMSG_DATA(rights), files.data(), files.size() * sizeof(int));
    if (sendmsg(reader_protocol::kChannel, &message, MSG_NOSIGNAL) < 0) std::abort();
}

// Sends an answer itself, then ends as a reader that answered does.
[[noreturn]] void answerAndExit(std::string_view body, const std::vector<int>& files) {
    sendAnswer(body, files);
    _exit(0);
}

class StandInJob : public Job {
  public:
    Claim claim(const Photo&, const Request& request) override {
        const std::string behaviour = behaviourOf(request);
        Claim claim{std::uint64_t{16} << 20, 10s, "a photo of 6000 × 4000 pixels"};
        if (behaviour == "refuseClaim") throw Refusal("The stand-in refuses this photo.");
        if (behaviour == "memoryInClaim") {
            allocate(512);
        } else if (behaviour == "spinInClaim") {
            spinUntil(1h);
        } else if (behaviour == "claimMore") {
            claim.memoryBytes *= 2;
        } else if (behaviour == "rawClaim") {
            // A claim of the memory the argument says, round the service's checks: told to go
            // all the same, it answers.
            sendMessage(reader_protocol::kChannel, MessageKind::claim,
                        WireWriter().u64(sizeOf(request)).u64(10'000).text("a photo").take());
            if (receiveMessage(reader_protocol::kChannel, true).message.kind == MessageKind::go) {
                answerAndExit("went", {});
            }
            _exit(0);
        } else if (behaviour == "claimOverCeiling") {
            claim = {std::uint64_t{1} << 40, 10s, "a photo of 99999 × 99999 pixels"};
        } else if (behaviour == "claimOverTime") {
            claim.processorTime = 11min;
        } else if (behaviour == "unreadableClaim") {
            claim.processorTime = 0ms;
        } else if (behaviour == "spin") {
            claim.processorTime = 100ms;
        } else if (behaviour == "spinThenKill" || behaviour == "spinThenHang") {
            claim.processorTime = 400ms;
        }
        return claim;
    }

    Answer run(const Photo& photo, const Request& request) override {
        const std::string behaviour = behaviourOf(request);
        ++served_;
        if (behaviour == "answer") {
            std::vector<UniqueDescriptor> files;
            files.push_back(memoryFile(sizeOf(request), reader_protocol::kSeals));
            return {WireWriter().u64(sizeOf(request)).take(), std::move(files)};
        }
        if (behaviour == "echo") return {request.params, {}};
        if (behaviour == "firstBytes") {
            std::string bytes(sizeOf(request), '\0');
            bytes.resize(static_cast<std::size_t>(
                std::max<ssize_t>(read(photo.descriptor, bytes.data(), bytes.size()), 0)));
            return {bytes, {}};
        }
        if (behaviour == "session" || behaviour == "develop") {
            return {WireWriter().i32(getpid()).u32(served_).take(), {}};
        }
        if (behaviour == "crash") raise(SIGSEGV);
        if (behaviour == "killSelf") raise(SIGKILL);
        if (behaviour == "spin") spinUntil(1h);
        if (behaviour == "spinThenKill") {
            spinUntil(processorTimeUsed() + 300ms);
            raise(SIGKILL);
        }
        if (behaviour == "exceedMemory" || behaviour == "allocateWithinClaim") {
            // The claim's 16 MiB and the claim phase's 64 MiB.
            allocate(behaviour == "exceedMemory" ? 1024 : 70);
            return {behaviour, {}};
        }
        if (behaviour == "throwBadAlloc") throw std::bad_alloc();
        if (behaviour == "threadWithoutMemory") {
            // With its data limit lowered to what it holds, a thread cannot have its stack.
            const rlim_t held = dataBytesHeld();
            const rlimit lowered{held, held};
            setrlimit(RLIMIT_DATA, &lowered);
            std::thread([] {}).join();
            return {behaviour, {}};
        }
        if (behaviour == "busErrorInAnswerFile" || behaviour == "busErrorBesideAnswerFile") {
            // The kernel's SIGBUS for a page of the answer's file it cannot give, or for another
            // address; sent as the kernel would, since no test can make this machine run out.
            const bool inside = behaviour == "busErrorInAnswerFile";
            sealedAnswerFile(4096, [&](std::byte* pages) {
                busError(inside ? pages + 2048 : reinterpret_cast<std::byte*>(&served_));
            });
        }
        if (behaviour == "answerFileBeyondMemory") {
            // A file no machine can give; its making fails before a byte is written.
            sealedAnswerFile(std::uint64_t{1} << 62, [](std::byte*) {});
        }
        if (behaviour == "crashAfterFailedAllocation") {
            allocate(1024);
            raise(SIGSEGV);
        }
        if (behaviour == "answerThenCrash") {
            sendAnswer("", {});
            raise(SIGSEGV);
        }
        if (behaviour == "inherited") return {inherited(), {}};
        if (behaviour == "hang" || behaviour == "spinThenHang") {
            if (behaviour == "spinThenHang") spinUntil(processorTimeUsed() + 300ms);
            // Says so on the test's FIFO, if it gave one, then waits to be killed.
            if (!argumentOf(request).empty()) {
                const UniqueDescriptor fifo(open(argumentOf(request).c_str(), O_WRONLY));
                if (write(fifo.get(), "h", 1) != 1) std::abort();
            }
            for (;;) pause();
        }
        if (behaviour == "waitForWord") {
            const UniqueDescriptor fifo(open(argumentOf(request).c_str(), O_RDONLY));
            char word = 0;
            if (read(fifo.get(), &word, 1) != 1) std::abort();
            return {std::string(1, word), {}};
        }
        if (behaviour == "garbage") return {"\x01\x02", {}};
        const std::uint64_t size = argumentOf(request).empty() ? 0 : sizeOf(request);
        const std::string body = WireWriter().u64(size).take();
        if (behaviour == "unsealed" || behaviour == "shrinkAfterSending") {
            const UniqueDescriptor file = memoryFile(size, 0);
            sendAnswer(body, {file.get()});
            // Once the answer is on its way, its file is made shorter.
            if (behaviour == "shrinkAfterSending" &&
                ftruncate(file.get(), static_cast<off_t>(size / 2)) != 0) {
                std::abort();
            }
            _exit(0);
        }
        if (behaviour == "writeSealedOnly") {
            const UniqueDescriptor file =
                memoryFile(size, F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
            answerAndExit(body, {file.get()});
        }
        if (behaviour == "short") {
            const UniqueDescriptor file = memoryFile(size - 1, reader_protocol::kSeals);
            answerAndExit(body, {file.get()});
        }
        if (behaviour == "tooManyFiles") {
            std::vector<UniqueDescriptor> files;
            std::vector<int> numbers;
            for (std::size_t index = 0; index <= reader_protocol::kMaxFilesPerMessage; ++index) {
                files.push_back(memoryFile(size, reader_protocol::kSeals));
                numbers.push_back(files.back().get());
            }
            answerAndExit(body, numbers);
        }
        throw Refusal("The stand-in has no behaviour " + behaviour + ".");
    }

    bool takesFollowUp(JobKind kind) const override { return kind == JobKind::rawDevelop; }

  private:
    std::uint32_t served_ = 0;
};

// The DNG XMP job's answers, as the record it is given names them: the packet "<x/>" alone
// ("answer"), with a file it should not carry ("answerWithFile"), or with bytes after it
// ("answerWithLeftover").
class StandInDngXmpJob : public Job {
  public:
    Claim claim(const Photo&, const Request&) override {
        return {std::uint64_t{16} << 20, 10s, "a photo"};
    }

    Answer run(const Photo&, const Request& request) override {
        const std::string behaviour =
            dng_xmp_exchange::decodeParams(request.params).record.value_or("");
        const std::string packet = dng_xmp_exchange::encodeAnswer("<x/>");
        if (behaviour == "answerWithFile") {
            std::vector<UniqueDescriptor> files;
            files.push_back(memoryFile(4, reader_protocol::kSeals));
            return {packet, std::move(files)};
        }
        if (behaviour == "answerWithLeftover") return {packet + "z", {}};
        return {packet, {}};
    }
};

std::unique_ptr<Job> makeStandInJob(JobKind kind) {
    if (kind == JobKind::dngXmp) return std::make_unique<StandInDngXmpJob>();
    if (kind != JobKind::metadata && kind != JobKind::rawSensor) return nullptr;
    return std::make_unique<StandInJob>();
}

}  // namespace
}  // namespace quillmere::reader

int main(int argc, char** argv) {
    return quillmere::reader::serve(argc, argv, quillmere::reader::makeStandInJob);
}
