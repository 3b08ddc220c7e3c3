#include "app/state/saved_photo_edit.h"

namespace quillmere {

std::string SavedPhotoEdit::json() const {
    json::OrderedJson object = json::OrderedJson::object();
    object["version"] = version;
    object["source"] = source;
    object["params"] = params.encodeOrdered(CodingPath{} / "params");
    object["baseline"] = baseline.encodeOrdered(CodingPath{} / "baseline");
    object["xmpLoaded"] = xmpLoaded;
    return json::dumpCompact(object);
}

SavedPhotoEdit SavedPhotoEdit::decode(const json::Json& value, const CodingPath& path) {
    json::requireObject(value, path);
    SavedPhotoEdit edit;
    edit.version = json::decodeRequired(value, "version", path, json::decodeInt);
    edit.source = json::decodeRequired(value, "source", path, json::decodeString);
    edit.params = json::decodeRequired(value, "params", path, EditParams::decode);
    edit.baseline = json::decodeRequired(value, "baseline", path, EditParams::decode);
    edit.xmpLoaded = json::decodeRequired(value, "xmpLoaded", path, json::decodeBool);
    return edit;
}

}  // namespace quillmere
