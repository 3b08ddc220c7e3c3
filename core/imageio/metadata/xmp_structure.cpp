#include "core/imageio/metadata/xmp_structure.h"

#include <cstdint>
#include <string>

#include "core/imageio/jpeg_extended_xmp.h"
#include "core/imageio/metadata/metadata_limits.h"
#include "core/imageio/metadata/metadata_refusal.h"

namespace quillmere::metadata {
namespace {

[[noreturn]] void refuse(const std::string& why) {
    throw MetadataRefusal("The XMP packet is refused: " + why + ".");
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

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
            --depth_;
            return skipPast(at, ">");
        }
        return startTag(at + 1);
    }

    std::size_t skipPast(std::size_t at, std::string_view end) const {
        const std::size_t found = packet_.find(end, at);
        return found == std::string_view::npos ? packet_.size() : found + end.size();
    }

    // An element's start tag from its name on: the element and each attribute are items.
    std::size_t startTag(std::size_t at) {
        count();
        if (++depth_ > limits::xmpNesting) refuse("its elements nest too deep");
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
                if (at > 0 && packet_[at - 1] == '/') --depth_;
                return at + 1;
            } else if (c == '=') {
                count();
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

    void count() {
        if (++items_ > limits::xmpItems) refuse("it has too many elements and attributes");
    }

    std::string_view packet_;
    std::uint64_t items_ = 0;
    std::uint64_t namespaces_ = 0;
    int depth_ = 0;
};

}  // namespace

void checkXmpPacket(std::string_view packet) {
    if (packet.size() > jpeg_extended_xmp::maxPacketSize)
        refuse("it is larger than any packet read");
    XmpScan(packet).run();
}

}  // namespace quillmere::metadata
