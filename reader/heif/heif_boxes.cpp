#include "reader/heif/heif_boxes.h"

#include <algorithm>

namespace quillmere::heif {

std::uint64_t Fields::read(std::uint64_t count) {
    if (count > 8) throw Malformed{};
    std::uint64_t value = 0;
    for (const char byte : take(count)) value = value << 8 | static_cast<unsigned char>(byte);
    return value;
}

std::string_view Fields::take(std::uint64_t count) {
    if (count > bytes_.size()) throw Malformed{};
    const std::string_view taken = bytes_.substr(0, count);
    bytes_.remove_prefix(count);
    return taken;
}

std::string_view Fields::takeString() {
    // libheif reads a string that is not there, at the end of its box, as an empty one.
    if (bytes_.empty()) return {};
    const std::size_t end = bytes_.find('\0');
    if (end == std::string_view::npos) throw Malformed{};
    const std::string_view text = bytes_.substr(0, end);
    bytes_.remove_prefix(end + 1);
    return text;
}

Fields::FullBoxHeader Fields::fullBoxHeader() {
    const std::uint64_t version = read(1);
    return {version, read(3)};
}

Box nextBox(Fields& fields) {
    const std::uint64_t available = fields.rest().size();
    std::uint64_t size = fields.read(4);
    const std::string_view type = fields.take(4);
    std::uint64_t header = 8;
    if (size == 1) {
        size = fields.read(8);
        header = 16;
    }
    if (size < header || size - header > fields.rest().size() || size > available) {
        throw Malformed{};
    }
    return {type, fields.take(size - header), header};
}

std::vector<Box> boxesIn(std::string_view bytes) {
    std::vector<Box> boxes;
    Fields fields(bytes);
    while (!fields.empty()) boxes.push_back(nextBox(fields));
    return boxes;
}

const Box* firstOf(const std::vector<Box>& boxes, std::string_view type) {
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [&](const Box& box) { return box.type == type; });
    return found == boxes.end() ? nullptr : &*found;
}

std::string_view payloadOf(const std::vector<Box>& boxes, std::string_view type) {
    const Box* box = firstOf(boxes, type);
    return box ? box->payload : std::string_view{};
}

}  // namespace quillmere::heif
