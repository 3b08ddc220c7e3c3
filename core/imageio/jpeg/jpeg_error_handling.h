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
};

// Points `info->err` at `manager` with the non-exiting handlers and silences libjpeg's printing.
// Called before the object is created; libjpeg keeps `err` through its creation. A scan that
// refines bits its component's earlier scans did not code (libjpeg only warns of a "bogus
// progression" and decodes it all the same) is a fatal error: no encoder writes one, and a file
// that repeats its refinement scans would keep the decoder busy over every block of each.
void install(ErrorManager& manager, jpeg_common_struct& info);

// Ends the libjpeg step that called back into the program, as a fatal error of libjpeg's does,
// with `format` and its arguments (as printf's) as its text. Only for code that libjpeg calls and
// that holds no object with a destructor, which the jump would skip.
[[noreturn]] void stop(jpeg_common_struct& info, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Runs one libjpeg step; false when libjpeg reported a fatal error (its text is in
// `manager.message`).
template <class Step>
bool run(ErrorManager& manager, const Step& step) {
    if (setjmp(manager.jumpBuffer) != 0) return false;
    step();
    return true;
}

}  // namespace quillmere::jpeg_errors
