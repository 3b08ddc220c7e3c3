#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/reading/reader_protocol.h"
#include "core/reading/unique_descriptor.h"

// What a job of the reader is: the reading of one kind of request (reader_protocol::JobKind) from
// the photo, in two steps. claim() reads the photo's own claims (its pixel size, its tiles, the
// size of its metadata) with the reader's own code, or a library's header parse, under the small
// budget of the claim phase, and says what the work needs; run() does the work once the program
// admitted that claim, under a data limit and a processor timer lowered to it. serve() runs them
// (service.h).
namespace quillmere::reader {

// The photo the program opened, as the reader holds it.
struct Photo {
    // Read-only, with a file offset of the reader's own (descriptor 4, opened again through
    // /proc/self/fd/4, so that no other reader of the same opened file moves it).
    int descriptor = -1;
    // "/proc/self/fd/4": the same open file, for libraries that take a path.
    std::string procPath;
    std::uint64_t size = 0;
};

// The program's request: the job's parameters (as its typed client wrote them with WireWriter)
// and the files that came with it (sealed memory files: SealedFile::accept them).
struct Request {
    reader_protocol::JobKind kind = reader_protocol::JobKind::metadata;
    std::string params;
    std::vector<UniqueDescriptor> files;
};

// What the work needs, read from the photo's claims.
struct Claim {
    // The memory the work may take besides what the reader holds at its claim (serve() adds the
    // claim phase's budget; reader/service/limits.h). A follow-up's work runs within the memory
    // its session's first claim took, so a follow-up claims at most that.
    std::uint64_t memoryBytes = 0;
    // The processor time of all its threads together, at least 1 ms.
    std::chrono::milliseconds processorTime{0};
    // What the photo claims to be, for the user's sentence: "a photo of 6000 × 4000 pixels".
    std::string claimed;
};

// The photo is not one the program reads, in a sentence for the user (the reader's refusal).
class Refusal : public std::runtime_error {
  public:
    using runtime_error::runtime_error;
};

// The job's answer: a body its typed client decodes (WireWriter) and sealed memory files
// (makeSealedFile), at most reader_protocol::kMaxFilesPerMessage.
struct Answer {
    std::string body;
    std::vector<UniqueDescriptor> files;
};

// One kind of reading. claim() and run() throw Refusal to refuse the photo; an allocation that
// fails (std::bad_alloc, or any the allocator noted) is answered as memory whatever they do.
class Job {
  public:
    virtual ~Job() = default;
    virtual Claim claim(const Photo& photo, const Request& request) = 0;
    virtual Answer run(const Photo& photo, const Request& request) = 0;
    // Whether a session's follow-up of `kind` goes to this job, which stays with the reader after
    // its first request.
    virtual bool takesFollowUp(reader_protocol::JobKind) const { return false; }
};

// The job for a kind of request; null for a kind the reader does not know.
using JobMaker = std::function<std::unique_ptr<Job>(reader_protocol::JobKind)>;

}  // namespace quillmere::reader
