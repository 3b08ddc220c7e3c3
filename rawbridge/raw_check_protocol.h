#pragma once

// How the program and its RAW checking helper talk. The program starts the helper as
//
//   quillmere-raw-check MEMORY_BYTES CPU_SECONDS FILE
//
// and reads nothing but how it ended: the exit statuses below, or the signal that ended it.
namespace quillmere::raw_check {

// The helper's file name, where it is installed and where a build makes it.
inline constexpr const char* kProgramName = "quillmere-raw-check";

// LibRaw went through every step, or refused the file in its own words: the program may read the
// file itself, and a refusal then fails there as it did here.
inline constexpr int kRead = 0;
// The command line was not MEMORY_BYTES CPU_SECONDS FILE, or the limits could not be set.
inline constexpr int kUsage = 2;
// Memory ran out under the limit.
inline constexpr int kOutOfMemory = 3;

}  // namespace quillmere::raw_check
