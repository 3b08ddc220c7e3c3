#pragma once

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"
#include "core/common/uuid.h"

namespace quillmere::json {

// The standard hyphenated text, upper case.
Json encodeUUID(const UUID& id);
// A string in the hyphenated form (either case); any other string is data-corrupted.
UUID decodeUUID(const Json& value, const CodingPath& path);

}  // namespace quillmere::json
