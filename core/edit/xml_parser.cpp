#include "core/edit/xml_parser.h"

#include <expat.h>

#include <algorithm>
#include <memory>

namespace quillmere::XMLParser {
namespace {

struct ParseState {
    XMLParserDelegate& delegate;
    bool inCDATASection = false;
    XMLParserDelegate::Attributes attributes{};
};

void XMLCALL startElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
    auto& state = *static_cast<ParseState*>(userData);
    state.attributes.clear();
    for (const XML_Char** pair = attributes; pair[0] != nullptr; pair += 2) {
        state.attributes.emplace_back(pair[0], pair[1]);
    }
    state.delegate.didStartElement(name, state.attributes);
}

void XMLCALL endElement(void* userData, const XML_Char* name) {
    static_cast<ParseState*>(userData)->delegate.didEndElement(name);
}

void XMLCALL characters(void* userData, const XML_Char* text, int length) {
    auto& state = *static_cast<ParseState*>(userData);
    if (state.inCDATASection || length <= 0) return;
    state.delegate.foundCharacters(std::string_view(text, static_cast<std::size_t>(length)));
}

void XMLCALL startCDATASection(void* userData) {
    static_cast<ParseState*>(userData)->inCDATASection = true;
}

void XMLCALL endCDATASection(void* userData) {
    static_cast<ParseState*>(userData)->inCDATASection = false;
}

struct ParserDeleter {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};

}  // namespace

bool parse(std::string_view document, XMLParserDelegate& delegate) {
    // XML_ParserCreate, unlike XML_ParserCreateNS, leaves names qualified as written.
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
    if (!parser) return false;
    ParseState state{delegate};
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), startElement, endElement);
    XML_SetCharacterDataHandler(parser.get(), characters);
    XML_SetCdataSectionHandler(parser.get(), startCDATASection, endCDATASection);
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);

    // expat takes lengths as int, so a large document goes in pieces.
    constexpr std::size_t kChunkSize = std::size_t{1} << 20;
    do {
        const std::size_t length = std::min(document.size(), kChunkSize);
        const bool isFinal = length == document.size();
        if (XML_Parse(parser.get(), document.data(), static_cast<int>(length), isFinal) !=
            XML_STATUS_OK) {
            return false;
        }
        document.remove_prefix(length);
    } while (!document.empty());
    return true;
}

}  // namespace quillmere::XMLParser
