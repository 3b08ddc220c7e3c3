#pragma once

#include <vector>

#include "core/common/coding_path.h"
#include "core/common/json_coding.h"
#include "core/common/uuid.h"

namespace quillmere {

// One painted brush stroke over a blemish, in coordinates relative to the image so that the same
// record serves the preview and the full-resolution export. x runs from the left edge and y from
// the top edge, both as fractions 0...1 of the image width and height.
struct SpotRepair {
    struct Point {
        double x = 0;
        double y = 0;

        // Both coordinates finite and within 0...1, bounds included.
        bool isValid() const;

        bool operator==(const Point&) const = default;

        json::Json encode(const CodingPath& path = {}) const;
        // What `encode` writes, with the keys in coding order instead of sorted.
        json::OrderedJson encodeOrdered(const CodingPath& path = {}) const;
        // Both "x" and "y" are required numbers.
        static Point decode(const json::Json& value, const CodingPath& path = {});
    };

    // Stores the values as they are; nothing is tested or clamped.
    SpotRepair(UUID id, double x, double y, double radius, std::vector<Point> path);

    UUID id;
    double x;  // centre: the stroke's first point
    double y;
    double radius;            // fraction of the shorter image side; valid in (0, 0.1]
    std::vector<Point> path;  // the stroke's further points in painting order; empty for a dab

    // Centre and radius in range and every path point valid. Edits drop invalid repairs when they
    // are read, and the renderer ignores them.
    bool isValid() const;
    // The centre followed by every path point.
    std::vector<Point> points() const;

    // Identical geometry with different ids is unequal.
    bool operator==(const SpotRepair&) const = default;

    json::Json encode(const CodingPath& codingPath = {}) const;
    // What `encode` writes, with the keys in coding order instead of sorted.
    json::OrderedJson encodeOrdered(const CodingPath& codingPath = {}) const;
    // "id", "x", "y" and "radius" are required; an absent or null "path" is empty. Validity is not
    // tested here.
    static SpotRepair decode(const json::Json& value, const CodingPath& codingPath = {});
};

}  // namespace quillmere
