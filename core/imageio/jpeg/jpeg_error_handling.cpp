#include "core/imageio/jpeg/jpeg_error_handling.h"

#include <cstring>

#include <jerror.h>

namespace quillmere::jpeg_errors {
namespace {

// Far beyond the ten or so scans of any real progressive JPEG.
constexpr int maxScanCount = 1000;

ErrorManager& managerOf(j_common_ptr info) { return *reinterpret_cast<ErrorManager*>(info->err); }

void exitWithError(j_common_ptr info) {
    ErrorManager& manager = managerOf(info);
    (*info->err->format_message)(info, manager.message);
    std::longjmp(manager.jumpBuffer, 1);
}

void noteMessage(j_common_ptr info, int level) {
    const int code = info->err->msg_code;
    if (level < 0 && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) {
        managerOf(info).truncated = true;
    }
}

void printNothing(j_common_ptr) {}

void stopAfterTooManyScans(j_common_ptr info) {
    if (!info->is_decompressor) return;
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > maxScanCount) {
        ErrorManager& manager = managerOf(info);
        std::snprintf(manager.message, sizeof manager.message, "The image has too many scans.");
        std::longjmp(manager.jumpBuffer, 1);
    }
}

}  // namespace

void install(ErrorManager& manager, jpeg_common_struct& info) {
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = exitWithError;
    manager.base.emit_message = noteMessage;
    manager.base.output_message = printNothing;
    manager.message[0] = '\0';
    manager.truncated = false;
}

void limitScans(ErrorManager& manager, jpeg_decompress_struct& info) {
    std::memset(&manager.progress, 0, sizeof manager.progress);
    manager.progress.progress_monitor = stopAfterTooManyScans;
    info.progress = &manager.progress;
}

}  // namespace quillmere::jpeg_errors
