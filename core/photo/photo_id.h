#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

namespace quillmere {

// The identity of an opened photo: its file path exactly as given. Two identifiers are the same
// photo only when their paths are spelled the same; nothing is normalised or resolved, so a
// relative and an absolute path to one file are different photos.
struct PhotoID {
    std::filesystem::path url;

    // Compares the spelling: path's own comparison would treat "a//b" and "a/b" as equal.
    bool operator==(const PhotoID& other) const { return url.native() == other.url.native(); }
};

}  // namespace quillmere

template <>
struct std::hash<quillmere::PhotoID> {
    std::size_t operator()(const quillmere::PhotoID& id) const noexcept {
        return std::hash<std::string>{}(id.url.native());
    }
};
