#include "core/common/coding_path.h"

namespace quillmere {

CodingPath CodingPath::operator/(std::string_view key) const {
    CodingPath path = *this;
    path.components_.emplace_back(key);
    return path;
}

CodingPath CodingPath::operator/(std::size_t index) const {
    return *this / ("Index " + std::to_string(index));
}

std::string CodingPath::dotted() const {
    std::string text;
    for (const auto& component : components_) {
        if (!text.empty()) text += '.';
        text += component;
    }
    return text;
}

}  // namespace quillmere
