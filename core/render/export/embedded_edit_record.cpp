#include "core/render/export/embedded_edit_record.h"

#include <utility>

namespace quillmere {

EmbeddedEditRecord::EmbeddedEditRecord(EditParams parameters) : parameters(std::move(parameters)) {}

std::string EmbeddedEditRecord::json() const { return json::dumpCompact(encode()); }

json::Json EmbeddedEditRecord::encode(const CodingPath& path) const {
    json::Json object = json::Json::object();
    object["schemaVersion"] = schemaVersion;
    object["application"] = application;
    object["editsAppliedToPixels"] = editsAppliedToPixels;
    object["parameters"] = parameters.encode(path / "parameters");
    return object;
}

EmbeddedEditRecord EmbeddedEditRecord::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    EmbeddedEditRecord record(json::decodeRequired(
        value, "parameters", path, [](const json::Json& edit, const CodingPath& editPath) {
            return EditParams::decode(edit, editPath);
        }));
    record.schemaVersion = json::decodeRequired(value, "schemaVersion", path, json::decodeInt);
    record.application = json::decodeRequired(value, "application", path, json::decodeString);
    record.editsAppliedToPixels =
        json::decodeRequired(value, "editsAppliedToPixels", path, json::decodeBool);
    return record;
}

}  // namespace quillmere
