// The metadata of a TIFF-based RAW file (DNG, NEF, CR2, ORF, RAF, MRW, CRW and the rest Exiv2
// reads as TIFF) through every reader: in memory, and from a file as the loader and the export's
// metadata copy read it. Nothing may throw; a crash, a sanitizer report, memory beyond the
// fuzzer's limit, a hang, or Exiv2 making far more than the check allows is a fault.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "reader/metadata/image_properties_reading.h"
#include "reader/metadata/photo_metadata_reading.h"
#include "tests/fuzz/metadata_fuzzing.h"

namespace {

const std::filesystem::path& inputFile() {
    static const std::filesystem::path file = [] {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "quillmere-metadata-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return std::filesystem::path(pattern) / "photo.dng";
    }();
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quillmere::fuzzing::readMetadata(bytes);
    std::ofstream(inputFile(), std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    quillmere::readImageProperties(inputFile()).json();
    quillmere::readCaptureMetadata(inputFile());
    return 0;
}
