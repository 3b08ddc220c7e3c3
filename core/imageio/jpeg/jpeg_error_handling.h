#pragma once

// libjpeg reports a fatal error by calling `error_exit`, whose default ends the process. Here it
// jumps back to the call that failed instead, which then reports false. Only libjpeg calls run
// between the jump target and the jump, never C++ code with objects to destroy, so the jump
// skips nothing but libjpeg's own frames.

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace quillmere::jpeg_errors {

struct ErrorManager {
    jpeg_error_mgr base;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::jmp_buf jumpBuffer;
    char message[JMSG_LENGTH_MAX];
    // Set when the coded data ran out before the image did (the file ends, or a marker such as
    // the end of the image comes too soon); libjpeg only warns and pads the rest with grey.
    bool truncated;
    // Scans read so far are watched through this: a crafted progressive file can hold
    // thousands of tiny scans and keep the decoder busy for minutes.
    jpeg_progress_mgr progress;
};

// Points `info->err` at `manager` with the non-exiting handlers and silences libjpeg's printing.
// Called before the object is created; libjpeg keeps `err` through its creation.
void install(ErrorManager& manager, jpeg_common_struct& info);

// Limits the scans a decompressor reads. Called after it was created, which clears `progress`.
void limitScans(ErrorManager& manager, jpeg_decompress_struct& info);

// Runs one libjpeg step; false when libjpeg reported a fatal error (its text is in
// `manager.message`).
template <class Step>
bool run(ErrorManager& manager, const Step& step) {
    if (setjmp(manager.jumpBuffer) != 0) return false;
    step();
    return true;
}

}  // namespace quillmere::jpeg_errors
