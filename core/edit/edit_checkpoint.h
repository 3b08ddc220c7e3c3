#pragma once

#include <string>

#include "core/common/coding_path.h"
#include "core/common/iso8601_date.h"
#include "core/common/json_coding.h"
#include "core/common/uuid.h"
#include "core/edit/edit_params.h"

namespace quillmere {

// A named, dated snapshot of one photo's whole edit. Made with all four fields given:
// EditCheckpoint{id, name, createdAt, params}.
struct EditCheckpoint {
    UUID id;           // identity within the photo's list: saving and deleting match on it alone
    std::string name;  // as shown to the user
    Date createdAt;    // the photo's list is ordered by it
    EditParams params;

    bool operator==(const EditCheckpoint&) const = default;

    // "id", "name", "createdAt" (ISO 8601) and "params". Throws EncodingError when the edit holds
    // a non-finite number or the date lies outside the years 0001 to 9999.
    json::Json encode(const CodingPath& path = {}) const;
    // All four keys are required; an error inside "params" passes out unchanged.
    static EditCheckpoint decode(const json::Json& value, const CodingPath& path = {});
};

}  // namespace quillmere
