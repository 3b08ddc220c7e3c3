#pragma once

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

}  // namespace quillmere::raw_check
