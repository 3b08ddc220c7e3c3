#include "core/edit/xml_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace quillmere {
namespace {

// The events of one parse as text: "<name attribute=value>", the characters, "</name>".
class RecordingDelegate : public XMLParserDelegate {
  public:
    void didStartElement(std::string_view name, const Attributes& attributes) override {
        events += "<" + std::string(name);
        for (const auto& [attribute, value] : attributes) {
            events += " " + std::string(attribute) + "=" + std::string(value);
        }
        events += ">";
    }
    void foundCharacters(std::string_view characters) override { events += characters; }
    void didEndElement(std::string_view name) override { events += "</" + std::string(name) + ">"; }

    std::string events;
};

std::string eventsOf(const std::string& document) {
    RecordingDelegate delegate;
    EXPECT_TRUE(XMLParser::parse(document, delegate)) << document;
    return delegate.events;
}

bool parses(const std::string& document) {
    RecordingDelegate delegate;
    return XMLParser::parse(document, delegate);
}

TEST(XMLParser, NeverLoadsExternalEntitiesAndStopsExpansionBombs) {
    EXPECT_EQ(eventsOf("<!DOCTYPE a [<!ENTITY secret SYSTEM \"/etc/hostname\">]><a>[&secret;]</a>"),
              "<a>[]</a>");

    std::string bomb = "<!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
    for (int level = 1; level <= 12; ++level) {
        std::string expansion;
        for (int copy = 0; copy < 10; ++copy) expansion += "&e" + std::to_string(level - 1) + ";";
        bomb += "<!ENTITY e" + std::to_string(level) + " \"" + expansion + "\">";
    }
    EXPECT_FALSE(parses(bomb + "]><a>&e12;</a>"));
}

}  // namespace
}  // namespace quillmere
