#include "reader/metadata/checks/xmp_structure.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/imageio/jpeg_extended_xmp.h"
#include "reader/metadata/checks/metadata_limits.h"
#include "reader/metadata/checks/metadata_refusal.h"

namespace quillmere::metadata {
namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw MetadataRefusal("The XMP packet is refused: " + why + ".");
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// How the packet's characters are coded: XMP may be written in UTF-16 or UTF-32 of either byte
// order, which the parser recognises by a byte-order mark or by the zero bytes around the opening
// '<', as the XML standard has it.
struct CodeUnits {
    std::size_t size = 1;
    bool bigEndian = false;
};

CodeUnits codeUnitsOf(std::string_view packet) {
    const auto starts = [&](std::string_view prefix) { return packet.starts_with(prefix); };
    using namespace std::string_view_literals;
    if (starts("\0\0\xfe\xff"sv) || starts("\0\0\0<"sv)) return {4, true};
    if (starts("\xff\xfe\0\0"sv) || starts("<\0\0\0"sv)) return {4, false};
    if (starts("\xfe\xff"sv) || starts("\0<"sv)) return {2, true};
    if (starts("\xff\xfe"sv) || starts("<\0"sv)) return {2, false};
    return {};
}

// The packet's characters, one byte each, for a packet in UTF-16 or UTF-32: the markup is all
// ASCII, so every other character may stand as one byte that is no markup. Nothing for UTF-8.
std::optional<std::string> narrowed(std::string_view packet) {
    const CodeUnits units = codeUnitsOf(packet);
    if (units.size == 1) return std::nullopt;
    std::string text;
    text.reserve(packet.size() / units.size);
    for (std::size_t at = 0; at + units.size <= packet.size(); at += units.size) {
        std::uint32_t unit = 0;
        for (std::size_t byte = 0; byte < units.size; ++byte) {
            const auto value = static_cast<std::uint8_t>(
                packet[at + (units.bigEndian ? byte : units.size - 1 - byte)]);
            unit = unit << 8 | value;
        }
        text += unit < 0x80 ? static_cast<char>(unit) : 'x';
    }
    return text;
}

// Counts what an XML packet makes, markup by markup. Text between markup cannot hold a '<', so
// every '<' starts markup.
class XmpScan {
  public:
    explicit XmpScan(std::string_view packet) : packet_(packet) {}

    void run() {
        std::size_t at = packet_.find('<');
        while (at != std::string_view::npos) {
            at = markup(at);
            if (at >= packet_.size()) return;
            at = packet_.find('<', at);
        }
    }

  private:
    // Reads the markup at `at`; returns where reading goes on.
    std::size_t markup(std::size_t at) {
        const std::string_view rest = packet_.substr(at);
        if (rest.starts_with("<!--")) return skipPast(at, "-->");
        if (rest.starts_with("<![CDATA[")) return skipPast(at, "]]>");
        if (rest.starts_with("<?")) return skipPast(at, "?>");
        if (rest.starts_with("<!")) refuse("it declares a document type");
        if (rest.starts_with("</")) {
            close();
            return skipPast(at, ">");
        }
        return startTag(at + 1);
    }

    std::size_t skipPast(std::size_t at, std::string_view end) const {
        const std::size_t found = packet_.find(end, at);
        return found == std::string_view::npos ? packet_.size() : found + end.size();
    }

    // An element's start tag from its name on: the element is an item of the element around it
    // (a property of it, unless it is an array item, which is appended without a look-up), and
    // each attribute a property of the element.
    std::size_t startTag(std::size_t at) {
        count(!packet_.substr(at).starts_with("rdf:li"));
        open();
        std::size_t nameStart = std::string_view::npos;  // of the last name in the tag
        bool afterSpace = false;
        char quote = 0;
        for (; at < packet_.size(); ++at) {
            const char c = packet_[at];
            if (quote != 0) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                if (at > 0 && packet_[at - 1] == '/') close();
                return at + 1;
            } else if (c == '=') {
                count(true);
                if (nameStart != std::string_view::npos &&
                    packet_.substr(nameStart).starts_with("xmlns") &&
                    ++namespaces_ > limits::xmpNamespaces) {
                    refuse("it declares too many namespaces");
                }
                nameStart = std::string_view::npos;
            } else if (isSpace(c)) {
                afterSpace = true;
            } else if (afterSpace) {
                nameStart = at;
                afterSpace = false;
            }
        }
        return at;
    }

    void open() {
        if (properties_.size() >= static_cast<std::size_t>(limits::xmpNesting)) {
            refuse("its elements nest too deep");
        }
        properties_.push_back(0);
    }
    void close() {
        if (!properties_.empty()) properties_.pop_back();
    }

    // An item of the innermost open element; a property when `looked` up among its others.
    void count(bool looked) {
        if (++items_ > limits::xmpItems) refuse("it has too many items");
        if (looked && !properties_.empty() && ++properties_.back() > limits::xmpProperties) {
            refuse("an element has too many properties");
        }
    }

    std::string_view packet_;
    std::uint64_t items_ = 0;
    std::uint64_t namespaces_ = 0;
    // The properties of each element open around the reading point, the innermost last.
    std::vector<std::uint64_t> properties_;
};

}  // namespace

void checkXmpPacket(std::string_view packet) {
    if (packet.size() > jpeg_extended_xmp::maxPacketSize)
        refuse("it is larger than any packet read");
    const std::optional<std::string> characters = narrowed(packet);
    XmpScan(characters ? std::string_view(*characters) : packet).run();
}

}  // namespace quillmere::metadata
