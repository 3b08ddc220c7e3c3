#include "core/render/export/dng_file.h"

#include <cstdint>
#include <system_error>

#include "core/common/file_io.h"
#include "core/decode/raw_loader_error.h"
#include "core/render/export/dng_export_error.h"

namespace quillmere {

std::string readDNGFile(const std::filesystem::path& path) {
    constexpr std::uintmax_t kLargestClassicTIFF = 0xFFFFFFFFu;
    std::error_code error;
    // Only a regular file holds a photo; reading a FIFO would wait for a writer.
    if (std::filesystem::exists(path, error) && !std::filesystem::is_regular_file(path, error)) {
        throw RAWLoaderError::unsupportedFile(path);
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        // A photo moved or deleted since it was opened: the user should hear that it is gone.
        if (error == std::errc::no_such_file_or_directory) {
            throw RAWLoaderError::fileNotFound(path);
        }
        throw std::filesystem::filesystem_error("could not read the file", path, error);
    }
    if (size > kLargestClassicTIFF) throw DNGExportError(DNGExportError::Code::invalidDNG);
    auto contents = file_io::readFile(path, kLargestClassicTIFF);
    if (!contents) {
        throw std::filesystem::filesystem_error("could not read the file", path,
                                                std::make_error_code(std::errc::io_error));
    }
    return std::move(*contents);
}

}  // namespace quillmere
