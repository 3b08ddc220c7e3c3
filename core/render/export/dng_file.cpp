#include "core/render/export/dng_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "core/decode/raw_loader_error.h"
#include "core/reading/reading_error.h"
#include "core/render/export/dng_export_error.h"

namespace quillmere {
namespace {

[[noreturn]] void readFailed(const std::filesystem::path& path, int error) {
    throw std::filesystem::filesystem_error("could not read the file", path,
                                            std::error_code(error, std::generic_category()));
}

}  // namespace

OpenedDNG readDNGFile(const std::filesystem::path& path) {
    constexpr std::uint64_t kLargestClassicTIFF = 0xFFFFFFFFu;
    OpenedDNG dng;
    try {
        dng.file = OpenedFile::open(path);
    } catch (const ReadingError& error) {
        // A photo moved or deleted since it was opened: the user should hear that it is gone.
        if (error.kind() == ReadingError::Kind::notFound) throw RAWLoaderError::fileNotFound(path);
        // Only a regular file holds a photo; reading a FIFO would wait for a writer.
        if (error.kind() == ReadingError::Kind::notRegularFile) {
            throw RAWLoaderError::unsupportedFile(path);
        }
        throw;
    }
    const std::uint64_t size = dng.file->version().size;
    if (size > kLargestClassicTIFF) throw DNGExportError(DNGExportError::Code::invalidDNG);
    dng.bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    while (done < dng.bytes.size()) {
        const ssize_t read = pread(dng.file->descriptor(), dng.bytes.data() + done,
                                   dng.bytes.size() - done, static_cast<off_t>(done));
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) readFailed(path, errno);
        // A file cut short since it was opened is read as far as it goes now.
        if (read == 0) break;
        done += static_cast<std::size_t>(read);
    }
    dng.bytes.resize(done);
    return dng;
}

}  // namespace quillmere
