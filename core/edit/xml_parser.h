#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace quillmere {

// Receives the events of one parse, in document order.
class XMLParserDelegate {
  public:
    using Attributes = std::vector<std::pair<std::string_view, std::string_view>>;

    virtual ~XMLParserDelegate() = default;
    // Names are qualified as written ("crs:Exposure2012"); views are valid during the call only.
    virtual void didStartElement(std::string_view name, const Attributes& attributes) = 0;
    // Text between tags, possibly split into several calls. CDATA sections are not reported.
    virtual void foundCharacters(std::string_view characters) = 0;
    virtual void didEndElement(std::string_view name) = 0;
};

// A streaming XML parser over expat that never touches the outside world: no namespace
// processing, no external entities or DTDs are loaded, and expat's guard against entity
// expansion bombs stays on.
namespace XMLParser {

// Parses `document` whole; false when it is not well-formed. The delegate may already have
// received events from the part before the fault.
bool parse(std::string_view document, XMLParserDelegate& delegate);

}  // namespace XMLParser
}  // namespace quillmere
