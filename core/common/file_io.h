#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::file_io {

// Replaces `path` with `contents` atomically: the bytes go to a temporary file in the same
// folder, are flushed to disk, and the temporary file is renamed over `path`. A failure leaves the
// old file (or no file) in place and never a partial file under the final name.
// Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

// Writes a new file at `path`, never replacing one that exists: false when `path` already exists.
// The file appears whole or not at all. Throws std::system_error for any other failure.
bool writeNewFile(const std::filesystem::path& path, std::string_view contents);

// Moves `from` to `to` unless `to` exists (files or folders): false when `to` already exists.
// Throws std::system_error for any other failure.
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// The whole contents of a file, or nothing when it cannot be read or is larger than `maxBytes`.
std::optional<std::string> readFile(const std::filesystem::path& path,
                                    std::uintmax_t maxBytes = std::uintmax_t{1} << 30);

}  // namespace quillmere::file_io
