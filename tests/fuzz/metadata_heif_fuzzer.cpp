// The EXIF item of a HEIF file, as the program finds it through its own reading of the boxes,
// through every reader of metadata. Nothing may throw; a crash, a sanitizer report, memory beyond
// the fuzzer's limit, a hang, or Exiv2 making far more than the check allows is a fault.

#include <cstddef>
#include <cstdint>

#include "tests/fuzz/metadata_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillmere::fuzzing::readMetadata({reinterpret_cast<const char*>(data), size});
    return 0;
}
