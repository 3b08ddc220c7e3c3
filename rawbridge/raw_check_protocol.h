#pragma once

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

// How the program and its RAW checking helper talk. The program starts the helper as
//
//   quillmere-raw-check MEMORY_BYTES CPU_SECONDS PROGRAM_PID FILE
//
// with a stream socket to the program as its descriptor kChannel. The helper limits itself, then
// waits for kGo, which the program sends once it holds a pidfd of the helper (so that it can end
// it); without kGo the helper reads nothing. It then takes FILE through the bridge's LibRaw steps,
// writes one verdict on the channel and exits with status 0. Only kRead, from a helper that
// exited with status 0, lets the program read the file: an exit status alone says nothing.
//
// With kRead the helper hands the program the developments it made on the way (a file the bridge
// has LibRaw develop: see rawbridge/bridge_steps.h), so that the program need not make them
// again: each in a memory file of its own (memfd_create), sealed with kDevelopmentSeals, its
// descriptor sent as SCM_RIGHTS with the verdict's bytes, at most kMostDevelopments in all. A
// development LibRaw refused is none. The program takes nothing on trust: a descriptor that is no
// such file, or whose file is not what its header says, is closed unread, and the program makes
// that development itself, as the verdict permits.
namespace quillmere::raw_check {

// The helper's file name, where it is installed and where a build makes it.
inline constexpr const char* kProgramName = "quillmere-raw-check";

// The helper's end of the socket to the program.
inline constexpr int kChannel = 3;

// The program watches the helper and lets it read the file.
inline constexpr char kGo = 'g';

// LibRaw went through every step, or refused the file in its own words: the program may read the
// file itself, and a refusal then fails there as it did here.
inline constexpr std::string_view kRead = "read";
// Memory ran out under the limit; written before the helper's end however it ends, even when
// LibRaw crashes on the allocation it could not make.
inline constexpr std::string_view kOutOfMemory = "memory";

// The exit status of a helper that wrote no verdict: its command line was not the one above, the
// limits could not be set, or its program was gone or never sent kGo.
inline constexpr int kUsage = 2;

// The processor limit: at CPU_SECONDS of processor time (all its threads together) the kernel
// sends the helper SIGXCPU, which ends it; kHardLimitGraceSeconds later, SIGKILL.
inline constexpr int kHardLimitGraceSeconds = 2;

// Which of LibRaw's developments of the file (rawbridge/full_development.h) a memory file holds:
// the half-size one (the filmstrip's thumbnail) or the full one (the photo opened).
enum class DevelopmentKind : std::uint32_t { half = 1, full = 2 };

// The start of a development's memory file; the pixels follow it at once: width × height pixels
// of four IEEE half floats R, G, B, A, rows bottom first, exactly as the bridge's development
// gives them. The file is exactly sizeof(DevelopmentHeader) + pixelBytes long.
struct DevelopmentHeader {
    std::uint32_t kind = 0;  // a DevelopmentKind
    std::int32_t width = 0;
    std::int32_t height = 0;
    float iso = 0.0f;              // the ISO speed LibRaw reported
    std::uint64_t pixelBytes = 0;  // width × height × 8
};
static_assert(sizeof(DevelopmentHeader) == 24, "no padding between the header and the pixels");

// Every seal a development's memory file carries: neither its size nor a byte of it can change
// once it is sent, whoever else holds it.
inline constexpr int kDevelopmentSeals = F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL;

// A file the helper develops is developed at half size and at full size, once each.
inline constexpr std::size_t kMostDevelopments = 2;

}  // namespace quillmere::raw_check
