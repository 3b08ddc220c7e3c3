#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/reading/channel.h"
#include "core/reading/opened_file.h"
#include "core/reading/reader_protocol.h"
#include "core/reading/reading_error.h"
#include "core/reading/unique_descriptor.h"

namespace quillmere {

// What the program asks of a reader: a job, its parameters (encoded with WireWriter as the job
// reads them) and the files it takes (sealed memory files: makeSealedFile).
struct ReaderRequest {
    reader_protocol::JobKind kind = reader_protocol::JobKind::metadata;
    std::string params;
    std::vector<UniqueDescriptor> files;
};

// What a reader answered: a body the job's typed client decodes (WireReader), and the files that
// came with it, which the client accepts as SealedFiles of the sizes it derives from the body.
struct ReaderAnswer {
    std::string body;
    std::vector<UniqueDescriptor> files;
};

// What a reader says a request needs, read from the photo's own claims.
struct ReaderClaim {
    std::uint64_t memoryBytes = 0;
    std::chrono::milliseconds processorTime{0};
    // What the photo claims to be, for the user: "a photo of 6000 × 4000 pixels".
    std::string claimed;
};

// The wall-clock backstops of a reader's steps, after which a reader still silent is killed: it
// waits on something other than the processor (it was stopped, or its file system hangs).
struct ReaderTiming {
    // From a request to its claim (the reader runs only its claims, under a small budget of its
    // own), and from the channel's close to the reader's end.
    std::chrono::milliseconds claim = std::chrono::seconds(10);
    // From go to the answer: `work` and `workPerClaimed` times the claimed processor time.
    std::chrono::milliseconds work = std::chrono::seconds(60);
    unsigned workPerClaimed = 10;

    std::chrono::milliseconds workBackstop(std::chrono::milliseconds claimed) const {
        return work + claimed * workPerClaimed;
    }
};

// What became of one request, as far as the reader said.
struct ReaderExchange {
    enum class Said {
        nothing,            // no reply the program could read (the reader ended, was killed,
                            // or said something outside the protocol)
        answer,             // `answer` holds it
        refused,            // `sentence` is the reader's own
        memory,             // an allocation failed under its limit
        overClaimedMemory,  // its claim is larger than the memory ceiling: never told to go
        overClaimedTime,    // its claim is longer than kMostProcessorTime: never told to go
    };
    Said said = Said::nothing;
    ReaderAnswer answer;
    std::string sentence;
    // The claim's text ("a photo of 6000 × 4000 pixels"), or what a memory reply before the
    // claim said; empty when the reader claimed nothing.
    std::string claimed;
    std::chrono::milliseconds claimedProcessorTime{0};
};

// How a reader ended, as far as the program could see.
struct ReaderEnd {
    enum class Kind {
        exited,     // `status` is its exit status
        signalled,  // `status` is the signal that ended it
        unread,     // it could not be waited for (the kernel reaped it: SIGCHLD ignored)
    };
    Kind kind = Kind::unread;
    int status = 0;
    // The processor time it used since its last go (or its start), all its threads together.
    std::chrono::microseconds processorTime{0};
    // The program killed it: stopped, past the backstop of its end, or for saying something
    // outside the protocol (a kill at a step's backstop is not counted here: a reader that used
    // its processor time until then ran out of time).
    bool killedOnPurpose = false;
};

// The verdict on a request from what the reader said and how it ended: nothing when its answer
// stands (it answered and exited with status 0), else why not. Memory said is exceededMemory
// however the reader then ended (a library crashes on the allocation that failed); SIGXCPU (its
// processor timer), or SIGKILL once it used at least half its claimed processor time, not sent
// on purpose, is timedOut; a signal of its own fault (SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT,
// SIGSYS, SIGTRAP) is crashed; anything else notRead.
std::optional<ReadingError::Kind> verdictOf(const ReaderExchange& exchange, const ReaderEnd& end);

// One running reader (reader_protocol.h) on one opened photo.
//
// It is started with posix_spawn (the program has threads, so it never forks), its standard
// streams on /dev/null, the channel as descriptor 3, the photo as descriptor 4 and no other
// descriptor of the program, every signal at its default action and none blocked (a signal the
// program ignores or blocks must end the reader as it ends any program). It is watched through a
// pidfd, taken before the reader is sent anything, and signalled only through it: once reaped its
// process id may name another process, its pidfd never does.
//
// The reader asks the kernel to kill it when the thread that started it ends (PR_SET_PDEATHSIG:
// the parent the kernel watches is that thread, not the program), so that no reader outlives a
// program that dies. A ReaderProcess is therefore made, used and destroyed on one thread, which
// lives as long as it: PhotoReader::ask does all of it in the caller's call, and a ReaderSession,
// which outlives calls, owns a thread of its own for its reader.
//
// A program whose parent ignores SIGCHLD has its children reaped by the kernel, their ends unread:
// PhotoReader calls keepChildEndsReadable once when it is made.
class ReaderProcess {
  public:
    // Admits a claim (the room; for a follow-up, nothing); false when the wait was stopped.
    using Admit = std::function<bool(const ReaderClaim&)>;

    // Starts `reader` on `photo` with MEMORY_CEILING_BYTES `memoryCeiling`. Throws ReadingError:
    // readerMissing when `reader` is not a program that can be run, notRead when it cannot be
    // started or watched now.
    ReaderProcess(const std::filesystem::path& reader, const OpenedFile& photo,
                  std::uint64_t memoryCeiling, ReaderTiming timing);
    // Ends it as end() does.
    ~ReaderProcess();
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    // One request: sends it with its files, reads the claim (within the claim backstop), checks
    // it (a memory claim above the ceiling, or a processor claim above kMostProcessorTime, is
    // answered by not going on; a claim that cannot be read, with memory on a follow-up or none on
    // a first request, with no time or no text, is nothing), has `admit` admit it, says go and
    // reads the answer (within the work backstop). A reader silent at a backstop, or that says
    // anything outside the protocol, is killed; `stop` kills it too.
    ReaderExchange exchange(ReaderRequest request, bool followUp, const Admit& admit,
                            std::stop_token stop);

    // Closes the channel (the reader ends at its end of file), waits for the reader's end within
    // the claim backstop (then kills it) and reaps it with the processor time it used. Once; later
    // calls give the same end.
    ReaderEnd end();
    bool ended() const { return ended_.has_value(); }

  private:
    // The reader's next message within `backstop`; nothing (the reader killed, unless it ended)
    // at the backstop, at its end, or for a message that is none.
    std::optional<ChannelMessage> await(std::chrono::milliseconds backstop);
    void kill(bool onPurpose);
    std::chrono::microseconds processorTimeNow() const;

    const std::filesystem::path photo_;
    const std::uint64_t ceiling_;
    const ReaderTiming timing_;
    UniqueDescriptor channel_;
    UniqueDescriptor pidfd_;
    pid_t pid_ = 0;
    std::atomic<bool> killedOnPurpose_ = false;
    std::chrono::microseconds processorTimeAtGo_{0};
    std::optional<ReaderEnd> ended_;
};

// A program whose parent ignores SIGCHLD (which survives exec) has its children reaped by the
// kernel, their ends unread; this sets SIGCHLD back to its default action, under which the
// program reaps them. Every other disposition is left alone.
void keepChildEndsReadable();

}  // namespace quillmere
