#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "rawbridge/raw_check_protocol.h"

// Memory files of developments as the RAW checking helper hands them back, and as a broken or
// compromised helper might: for the tests of what the program takes from its helper.
namespace quillmere::testing {

using raw_check::DevelopmentKind;

// A development's memory file: its header and how the file departs from it.
struct DevelopmentFile {
    raw_check::DevelopmentHeader header;
    // Bytes the file has beyond (or, negative, short of) the header and its pixels.
    std::int64_t sizeChange = 0;
    int seals = raw_check::kDevelopmentSeals;
    // The first of its pixels' 16-bit values, the others counting up from it.
    std::uint16_t firstValue = 0;
};

inline DevelopmentFile honestDevelopment(DevelopmentKind kind, int width, int height,
                                         std::uint16_t firstValue, float iso = 0.0f) {
    DevelopmentFile file;
    file.header.kind = static_cast<std::uint32_t>(kind);
    file.header.width = width;
    file.header.height = height;
    file.header.iso = iso;
    file.header.pixelBytes = std::uint64_t{8} * width * height;
    file.firstValue = firstValue;
    return file;
}

// The pixels of an honest file of `values` 16-bit values.
inline std::vector<std::uint16_t> countingValues(std::size_t values, std::uint16_t firstValue) {
    std::vector<std::uint16_t> counting(values);
    for (std::size_t index = 0; index < values; ++index) {
        counting[index] = static_cast<std::uint16_t>(firstValue + index);
    }
    return counting;
}

// Writes the file into `descriptor`, an empty file open for writing; false when it cannot.
// Pixels of a file too large to fill in a test are left as holes.
inline bool writeDevelopmentFile(int descriptor, const DevelopmentFile& file) {
    constexpr std::uint64_t kLargestFilled = std::uint64_t{1} << 24;
    const std::uint64_t bytes = sizeof file.header + file.header.pixelBytes;
    bool written = pwrite(descriptor, &file.header, sizeof file.header, 0) ==
                   static_cast<ssize_t>(sizeof file.header);
    if (written && file.header.pixelBytes <= kLargestFilled) {
        const std::vector<std::uint16_t> pixels =
            countingValues(file.header.pixelBytes / 2, file.firstValue);
        written = pwrite(descriptor, pixels.data(), file.header.pixelBytes, sizeof file.header) ==
                  static_cast<ssize_t>(file.header.pixelBytes);
    }
    return written && ftruncate(descriptor, static_cast<off_t>(bytes) + file.sizeChange) == 0;
}

// The file as a new memory file, sealed as it says; -1 when it cannot be made.
inline int makeDevelopmentFile(const DevelopmentFile& file) {
    const int descriptor = memfd_create("test-development", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (descriptor < 0) return -1;
    if (writeDevelopmentFile(descriptor, file) && fcntl(descriptor, F_ADD_SEALS, file.seals) == 0) {
        return descriptor;
    }
    close(descriptor);
    return -1;
}

}  // namespace quillmere::testing
