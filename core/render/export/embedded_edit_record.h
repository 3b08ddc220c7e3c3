#pragma once

#include <cstdint>
#include <string>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"
#include "core/edit/edit_params.h"

namespace quillmere {

// The edit an exported file carries in its XMP, so that the photo can be developed again.
struct EmbeddedEditRecord {
    // The record of `parameters` with the defaults below.
    explicit EmbeddedEditRecord(EditParams parameters);

    std::int64_t schemaVersion = 1;
    std::string application = "Quillmere";
    // True when the file's pixels already show the edit (a developed JPEG), false when they are
    // still undeveloped (a DNG). Only a record with false can give a photo its starting edit.
    bool editsAppliedToPixels = true;
    EditParams parameters;

    bool operator==(const EmbeddedEditRecord&) const = default;

    // Compact JSON without line breaks, keys sorted at every level ("application" first,
    // "schemaVersion" last). Throws EncodingError for a non-finite number in the edit.
    std::string json() const;

    quillmere::json::Json encode(const CodingPath& path = {}) const;
    // All four keys are required, and the edit must pass its own decoding rules.
    static EmbeddedEditRecord decode(const quillmere::json::Json& value,
                                     const CodingPath& path = {});
};

}  // namespace quillmere
