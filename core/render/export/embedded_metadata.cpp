#include "core/render/export/embedded_metadata.h"

#include <string>

#include "core/common/coding_error.h"
#include "core/common/json_coding.h"
#include "core/reading/photo_file_metadata.h"

namespace quillmere::EmbeddedMetadata {

std::optional<EmbeddedEditRecord> read(const std::filesystem::path& url) {
    const std::shared_ptr<const PhotoFileMetadata> metadata = readPhotoFileMetadata(url);
    if (!metadata->editRecord) return std::nullopt;
    try {
        return EmbeddedEditRecord::decode(json::parse(*metadata->editRecord));
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace quillmere::EmbeddedMetadata
