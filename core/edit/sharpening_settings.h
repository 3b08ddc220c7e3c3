#pragma once

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"

namespace quillmere {

// Capture sharpening of an edit. Assigning a field never clamps; `sanitized` brings the values into
// the ranges the sharpening pass accepts, and every reader that uses the settings calls it.
struct SharpeningSettings {
    double amount = 0;   // 0...150; 0 is no sharpening
    double radius = 1;   // 0.5...3 pixels of the full-resolution image
    double detail = 25;  // 0...100 percent: low sharpens contours only, high also fine texture
    double masking = 0;  // 0...100 percent: high confines sharpening to strong edges
    bool preserveRAWTexture = false;

    // No sharpening: the default of an edit and what resetting the sharpening sets.
    static constexpr SharpeningSettings neutral() { return {}; }
    // Where a RAW photo without a saved edit starts.
    static constexpr SharpeningSettings classic() { return {.amount = 40}; }

    // Each value within its range; a non-finite value (even +infinity) takes its neutral value.
    SharpeningSettings sanitized() const;

    // Numeric equality: NaN equals nothing, 0 equals -0.
    bool operator==(const SharpeningSettings&) const = default;

    // The stored values, unsanitised.
    json::Json encode(const CodingPath& path = {}) const;
    // What `encode` writes, with the keys in coding order instead of sorted.
    json::OrderedJson encodeOrdered(const CodingPath& path = {}) const;
    // Absent or null keys keep their neutral value; the result is sanitised.
    static SharpeningSettings decode(const json::Json& value, const CodingPath& path = {});
};

}  // namespace quillmere
