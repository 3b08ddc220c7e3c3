#include "app/state/edit_clipboard_payload.h"

#include <cstdint>

#include "app/state/edit_clipboard.h"

namespace quillmere::EditClipboardPayload {
namespace {

constexpr std::int64_t kVersion = 1;

}  // namespace

std::string encode(const EditParams& params) {
    json::OrderedJson payload = json::OrderedJson::object();
    payload["version"] = kVersion;
    payload["params"] = params.encodeOrdered(CodingPath{} / "params");
    return json::dumpCompact(payload);
}

EditParams decode(std::string_view bytes) {
    const json::Json payload = json::parse(bytes);
    json::requireObject(payload, {});
    const std::int64_t version = json::decodeRequired(payload, "version", {}, json::decodeInt);
    EditParams params = json::decodeRequired(payload, "params", {}, EditParams::decode);
    if (version != kVersion) throw EditClipboardError::unsupportedVersion();
    return params;
}

}  // namespace quillmere::EditClipboardPayload
