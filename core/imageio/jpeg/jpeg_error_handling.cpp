#include "core/imageio/jpeg/jpeg_error_handling.h"

#include <cstdarg>
#include <cstdio>

#include <jerror.h>

namespace quillmere::jpeg_errors {
namespace {

ErrorManager& managerOf(j_common_ptr info) { return *reinterpret_cast<ErrorManager*>(info->err); }

void exitWithError(j_common_ptr info) {
    ErrorManager& manager = managerOf(info);
    (*info->err->format_message)(info, manager.message);
    std::longjmp(manager.jumpBuffer, 1);
}

void noteMessage(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    const int code = info->err->msg_code;
    if (code == JWRN_BOGUS_PROGRESSION && info->is_decompressor) {
        const int scan = reinterpret_cast<j_decompress_ptr>(info)->input_scan_number;
        stop(*info, "Its scan %d does not follow the bits its earlier scans coded.", scan);
    }
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) managerOf(info).truncated = true;
}

void printNothing(j_common_ptr) {}

}  // namespace

void install(ErrorManager& manager, jpeg_common_struct& info) {
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = exitWithError;
    manager.base.emit_message = noteMessage;
    manager.base.output_message = printNothing;
    manager.message[0] = '\0';
    manager.truncated = false;
}

void stop(jpeg_common_struct& info, const char* format, ...) {
    ErrorManager& manager = managerOf(&info);
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(manager.message, sizeof manager.message, format, arguments);
    va_end(arguments);
    std::longjmp(manager.jumpBuffer, 1);
}

}  // namespace quillmere::jpeg_errors
