#include "core/edit/uuid_coding.h"

#include <string>

namespace quillmere::json {

Json encodeUUID(const UUID& id) { return Json(id.uuidString()); }

UUID decodeUUID(const Json& value, const CodingPath& path) {
    const std::string text = decodeString(value, path);
    if (auto id = UUID::fromString(text)) return *id;
    throw DecodingError::dataCorrupted(path, "Attempted to decode UUID from invalid UUID string.");
}

}  // namespace quillmere::json
