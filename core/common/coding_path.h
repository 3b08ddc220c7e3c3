#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// The keys (and array positions) that lead from the top of a JSON document to one value, kept so
// that a decoding error can say where it happened.
class CodingPath {
public:
    CodingPath() = default;

    CodingPath operator/(std::string_view key) const;
    CodingPath operator/(std::size_t index) const;

    // "hsl.hue" or "spotRepairs.Index 2.x"; empty at the top.
    std::string dotted() const;

    bool operator==(const CodingPath&) const = default;

private:
    std::vector<std::string> components_;
};

}  // namespace quillmere
