#pragma once

#include <fcntl.h>

#include <chrono>
#include <cstddef>
#include <cstdint>

// How the program and its photo reader talk. Every library that reads a photo's bytes runs only in
// the reader, a process of its own that the program starts for one photo as
//
//   quillmere-reader PROGRAM_PID MEMORY_CEILING_BYTES
//
// PROGRAM_PID is the program's process id: the reader ends with the program's thread that started
// it (PR_SET_PDEATHSIG), and stops at once when its parent is another process already.
// MEMORY_CEILING_BYTES is the most memory the reader may ever claim: its hard data limit from the
// start, the most the program lets all its readers hold together (ReaderRoom::Budget).
//
// The reader's standard streams are /dev/null; descriptor kChannel is a SOCK_SEQPACKET socket to
// the program, descriptor kPhoto the photo file the program opened (read-only, a regular file); no
// other descriptor of the program is open in it. On the channel, one packet is one message (wire.h
// encodes the bodies; channel.h frames them):
//
//   1. program → reader  request {job kind u32, params bytes}, with descriptors the job takes
//   2. reader → program  claim {memory bytes u64, processor milliseconds u64, claimed text}, or
//                        refused {sentence}, or memory {claimed text}
//   3. program → reader  go, once the program admits the claim (ReaderRoom)
//   4. reader → program  answer {body} with sealed memory files, or refused {sentence}, or memory
//   5. a session goes back to 1 for a follow-up; the reader ends, with status 0, at the channel's
//      end of file.
//
// Before go the reader runs under a small fixed budget of its own (reader/service/limits.h); at
// go it lowers its data limit to the claim (at a session's first request; a follow-up claims
// processor time only, within the memory claimed first) and arms a processor-time timer for the
// claimed time, which ends it with SIGXCPU. A failed allocation anywhere in the reader is
// answered with memory, even when the library then crashes on it.
namespace quillmere::reader_protocol {

// The reader's file name, where it is installed and where a build makes it.
inline constexpr const char* kProgramName = "quillmere-reader";
// The variable that names another reader (tests, the bench tools).
inline constexpr const char* kLocationVariable = "QUILLMERE_READER";

// The reader's descriptors.
inline constexpr int kChannel = 3;
inline constexpr int kPhoto = 4;

// The largest packet on the channel. A larger body travels as a sealed memory file, which the
// channel (channel.h) sends and takes back in its place.
inline constexpr std::size_t kMaxMessageBytes = std::size_t{64} << 10;
// The largest body of any message, inline or in a memory file.
inline constexpr std::uint64_t kMaxBodyBytes = std::uint64_t{256} << 20;
// The most descriptors a message carries, besides the memory file of its body.
inline constexpr std::size_t kMaxFilesPerMessage = 8;

enum class MessageKind : std::uint32_t { request = 1, claim, refused, go, answer, memory };

enum class JobKind : std::uint32_t {
    metadata = 1,
    dngXmp,
    rasterImage,
    rasterThumbnail,
    rawSensor,
    rawDevelop,
    rawDevelopment,
    rawThumbnail,
};

// Every seal a memory file from the other side carries: neither its size nor a byte of it can
// change once it is sent, whoever else holds it.
inline constexpr int kSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;

// The most processor time a claim may name, and the longest claimed text and sentence.
inline constexpr std::chrono::milliseconds kMostProcessorTime = std::chrono::minutes(10);
inline constexpr std::size_t kMaxClaimedTextBytes = 256;
inline constexpr std::size_t kMaxSentenceBytes = 1024;

// The exit status of a reader that ends without an answer of its own: its command line or
// parent was not the one above, its limits could not be set, or the program said something
// outside the protocol.
inline constexpr int kUsage = 2;

}  // namespace quillmere::reader_protocol
