#pragma once

#include <cstdint>
#include <string>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"
#include "core/edit/edit_params.h"

namespace quillmere {

// The record of a per-photo edit file.
struct SavedPhotoEdit {
    // The only version written and read.
    static constexpr std::int64_t currentVersion = 1;

    std::int64_t version = currentVersion;
    // The photo's standardised path; a file naming another photo is not this photo's.
    std::string source;
    EditParams params;
    EditParams baseline;
    bool xmpLoaded = false;

    bool operator==(const SavedPhotoEdit&) const = default;

    // Compact JSON with the keys in the order above. Throws EncodingError for a non-finite number.
    std::string json() const;
    // All five keys are required; inside "params" and "baseline" the edit's own tolerant rules
    // apply. Throws DecodingError.
    static SavedPhotoEdit decode(const json::Json& value, const CodingPath& path = {});
};

}  // namespace quillmere
