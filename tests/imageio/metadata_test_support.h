#pragma once

#include <string>

#include "core/common/file_io.h"
#include "reader/metadata/file_metadata_reading.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere::testing_support {

// What the reader's metadata job reads of a photo file holding `bytes`.
inline PhotoFileMetadata metadataOfFile(const std::string& bytes) {
    const testing::TemporaryFolder folder;
    const std::filesystem::path file = folder.path() / "photo";
    file_io::writeFileAtomically(file, bytes);
    const std::optional<std::string> contents = file_io::readFile(file);
    return readFileMetadata(file, *contents);
}

}  // namespace quillmere::testing_support
