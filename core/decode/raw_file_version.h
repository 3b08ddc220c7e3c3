#pragma once

#include <compare>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

namespace quillmere {

// One version of a RAW file: what stat says of the regular file a path names. A file rewritten or
// replaced is another version, whatever size and times it was given: its change time moves on
// (and a file renamed over it has another inode).
struct RAWFileVersion {
    std::string path;
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modified = 0, changed = 0;  // nanoseconds since the epoch
    auto operator<=>(const RAWFileVersion&) const = default;

    // The least version of `path`: in an ordered map, every version of the path follows it.
    static RAWFileVersion leastOf(std::string path) {
        constexpr std::int64_t earliest = std::numeric_limits<std::int64_t>::min();
        return {.path = std::move(path), .modified = earliest, .changed = earliest};
    }
};

}  // namespace quillmere
