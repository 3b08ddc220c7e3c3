#include "core/imageio/jpeg_error_handling.h"

#include <cstdint>
#include <cstring>

#include <jerror.h>

namespace quillmere::jpeg_errors {
namespace {

// Far beyond the ten or so scans of any real progressive JPEG.
constexpr int maxScanCount = 1000;

// A Huffman-coded JPEG spends at least one bit on every 8 × 8 block of its full-resolution
// component: a sequential scan codes each block's DC difference and its end of block (two bits at
// the least), a progressive DC scan the DC difference (one bit at the least). So a photo holds at
// most 64 pixels per bit, 512 per byte; an all-grey 6000 × 4000 photo at the best quality takes
// about 64 pixels per byte, 170 with optimised tables. Four times the format's bound leaves room
// for layouts no camera writes (arithmetic coding, sparse scans of a subsampled component).
constexpr std::uint64_t maxPixelsPerByte = 4 * 512;

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

std::optional<std::string> implausibleSize(JDIMENSION width, JDIMENSION height,
                                           std::size_t byteCount) {
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels / maxPixelsPerByte <= byteCount) return std::nullopt;
    return "Its header states " + std::to_string(width) + " × " + std::to_string(height) +
           " pixels, more than " + std::to_string(byteCount) + " bytes of JPEG data can hold.";
}

void limitScans(ErrorManager& manager, jpeg_decompress_struct& info) {
    std::memset(&manager.progress, 0, sizeof manager.progress);
    manager.progress.progress_monitor = stopAfterTooManyScans;
    info.progress = &manager.progress;
}

}  // namespace quillmere::jpeg_errors
