#include "core/imageio/heif_item_checks.h"

#include <algorithm>
#include <map>
#include <vector>

#include "core/imageio/linear_image.h"

namespace quillmere {
namespace {

// Thrown inside this file when a box or a field runs past its end: the file is refused.
struct Malformed {};

// Big-endian fields read in order from one payload.
class Fields {
  public:
    explicit Fields(std::string_view bytes) : bytes_(bytes) {}

    std::uint64_t read(std::uint64_t count) {
        std::uint64_t value = 0;
        for (const char byte : take(count)) value = value << 8 | static_cast<unsigned char>(byte);
        return value;
    }
    std::string_view take(std::uint64_t count) {
        if (count > bytes_.size()) throw Malformed{};
        const std::string_view taken = bytes_.substr(0, count);
        bytes_.remove_prefix(count);
        return taken;
    }
    // The version of a full box; its flags are skipped.
    std::uint64_t fullBoxVersion() {
        const std::uint64_t version = read(1);
        take(3);
        return version;
    }
    std::string_view rest() const { return bytes_; }

  private:
    std::string_view bytes_;
};

struct Box {
    std::string_view type;
    std::string_view payload;
};

std::vector<Box> boxesIn(std::string_view bytes) {
    std::vector<Box> boxes;
    Fields fields(bytes);
    while (!fields.rest().empty()) {
        const std::uint64_t available = fields.rest().size();
        std::uint64_t size = fields.read(4);
        const std::string_view type = fields.take(4);
        std::uint64_t header = 8;
        if (size == 1) {
            size = fields.read(8);
            header = 16;
        } else if (size == 0) {
            size = available;
        }
        if (size < header || size > available) throw Malformed{};
        boxes.push_back({type, fields.take(size - header)});
    }
    return boxes;
}

// libheif takes the first box of a type.
std::string_view payloadOf(const std::vector<Box>& boxes, std::string_view type) {
    const auto found = std::find_if(boxes.begin(), boxes.end(),
                                    [&](const Box& box) { return box.type == type; });
    return found == boxes.end() ? std::string_view{} : found->payload;
}

// The item types libheif 1.15 decodes as images.
bool isImage(std::string_view type) {
    return type == "hvc1" || type == "av01" || type == "grid" || type == "iovl" || type == "iden";
}

std::map<std::uint64_t, std::string_view> itemTypes(std::string_view iinf) {
    std::map<std::uint64_t, std::string_view> types;
    if (iinf.empty()) return types;
    Fields fields(iinf);
    fields.take(fields.fullBoxVersion() == 0 ? 2 : 4);  // entry count; the boxes count themselves
    for (const Box& entry : boxesIn(fields.rest())) {
        Fields infe(entry.payload);
        const std::uint64_t version = infe.fullBoxVersion();
        if (entry.type != "infe" || version < 2) continue;  // no item type before version 2
        const std::uint64_t id = infe.read(version == 2 ? 2 : 4);
        infe.take(2);  // protection index
        types[id] = infe.take(4);
    }
    return types;
}

std::optional<std::string> derivedFromNonImage(
    std::string_view iref, const std::map<std::uint64_t, std::string_view>& types) {
    if (iref.empty()) return std::nullopt;
    Fields fields(iref);
    const std::uint64_t idSize = fields.fullBoxVersion() == 0 ? 2 : 4;
    for (const Box& reference : boxesIn(fields.rest())) {
        Fields ids(reference.payload);
        const std::uint64_t from = ids.read(idSize);
        for (std::uint64_t count = ids.read(2); count > 0; --count) {
            const std::uint64_t to = ids.read(idSize);
            const auto target = types.find(to);
            if (reference.type == "dimg" && (target == types.end() || !isImage(target->second))) {
                return "Its item " + std::to_string(from) + " is drawn from item " +
                       std::to_string(to) + ", which is not an image.";
            }
        }
    }
    return std::nullopt;
}

}  // namespace

HeifItemChecks checkHeifItems(std::string_view file) {
    HeifItemChecks checks;
    try {
        Fields meta(payloadOf(boxesIn(file), "meta"));
        meta.fullBoxVersion();
        const std::vector<Box> parts = boxesIn(meta.rest());
        checks.fault = derivedFromNonImage(payloadOf(parts, "iref"),
                                           itemTypes(payloadOf(parts, "iinf")));
        const std::vector<Box> properties = boxesIn(payloadOf(parts, "iprp"));
        for (const Box& property : boxesIn(payloadOf(properties, "ipco"))) {
            if (property.type != "ispe") continue;
            Fields size(property.payload);
            size.fullBoxVersion();
            const std::uint64_t width = size.read(4);
            const std::uint64_t height = size.read(4);
            if (width * height > LinearImage::maxPixelCount && !checks.fault) {
                checks.fault = "One of its images states " + std::to_string(width) + " × " +
                               std::to_string(height) + " pixels, more than a photo may have.";
            }
            checks.longestStatedSide = std::max({checks.longestStatedSide, width, height});
        }
    } catch (const Malformed&) {
        checks.fault = "Its boxes cannot be read.";
    }
    return checks;
}

}  // namespace quillmere
