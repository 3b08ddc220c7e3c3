#pragma once

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "rawbridge/raw_check_protocol.h"

// Developments' files as the RAW checking helper hands them back (raw_check_protocol.h), honest or
// not, for the tests of what the program takes from its helper.
namespace quillmere::testing {

// A development's file: its header, its pixels' 16-bit values counting up from `firstValue`, and
// how the file departs from the header.
struct DevelopmentFile {
    raw_check::DevelopmentHeader header;
    std::uint16_t firstValue = 0;
    std::int64_t sizeChange = 0;  // bytes beyond (or short of) the header and its pixels
    int seals = raw_check::kDevelopmentSeals;
};

inline DevelopmentFile development(raw_check::DevelopmentKind kind, int width, int height,
                                   std::uint16_t firstValue, float iso = 0.0f) {
    return {
        {static_cast<std::uint32_t>(kind), width, height, iso, std::uint64_t{8} * width * height},
        firstValue};
}

inline std::vector<std::uint16_t> countingValues(std::size_t count, std::uint16_t firstValue) {
    std::vector<std::uint16_t> values(count);
    for (std::size_t index = 0; index < count; ++index) values[index] = firstValue + index;
    return values;
}

// The file as a new descriptor: a memory file sealed as it says, or a regular file at `onDisk`;
// -1 when it cannot be made. Pixels too many to write in a test are left as holes.
inline int makeDevelopmentFile(const DevelopmentFile& file, const char* onDisk = nullptr) {
    const int descriptor = onDisk ? open(onDisk, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)
                                  : memfd_create("development", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    const std::uint64_t written = file.header.pixelBytes <= (1u << 24) ? file.header.pixelBytes : 0;
    const std::vector<std::uint16_t> pixels = countingValues(written / 2, file.firstValue);
    const off_t size = static_cast<off_t>(sizeof file.header + file.header.pixelBytes);
    if (descriptor >= 0 && pwrite(descriptor, &file.header, sizeof file.header, 0) == 24 &&
        pwrite(descriptor, pixels.data(), written, 24) == static_cast<ssize_t>(written) &&
        ftruncate(descriptor, size + file.sizeChange) == 0 &&
        (onDisk || fcntl(descriptor, F_ADD_SEALS, file.seals) == 0)) {
        return descriptor;
    }
    if (descriptor >= 0) close(descriptor);
    return -1;
}

}  // namespace quillmere::testing
