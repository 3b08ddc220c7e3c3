#include "core/render/export/embedded_metadata.h"

#include <string>

#include "core/common/coding_error.h"
#include "core/common/json_coding.h"
#include "core/imageio/photo_metadata.h"
#include "reader/metadata/photo_metadata_reading.h"

namespace quillmere::EmbeddedMetadata {

std::optional<EmbeddedEditRecord> read(const std::filesystem::path& url) {
    const std::optional<PhotoMetadata> metadata = readPhotoMetadata(url);
    if (!metadata) return std::nullopt;
    std::optional<std::string> text = metadata->xmp().text(editRecordPath);
    if (!text) text = metadata->xmp().text(legacyEditRecordPath);
    if (!text) return std::nullopt;
    try {
        return EmbeddedEditRecord::decode(json::parse(*text));
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

}  // namespace quillmere::EmbeddedMetadata
