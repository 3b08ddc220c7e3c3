#include "core/edit/edit_checkpoint.h"

#include "core/edit/uuid_coding.h"

namespace quillmere {

json::Json EditCheckpoint::encode(const CodingPath& path) const {
    return json::Json::object({{"id", json::encodeUUID(id)},
                               {"name", name},
                               {"createdAt", json::encodeDate(createdAt, path / "createdAt")},
                               {"params", params.encode(path / "params")}});
}

EditCheckpoint EditCheckpoint::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    return EditCheckpoint{
        .id = json::decodeRequired(value, "id", path, json::decodeUUID),
        .name = json::decodeRequired(value, "name", path, json::decodeString),
        .createdAt = json::decodeRequired(value, "createdAt", path, json::decodeDate),
        .params = json::decodeRequired(value, "params", path, &EditParams::decode),
    };
}

}  // namespace quillmere
