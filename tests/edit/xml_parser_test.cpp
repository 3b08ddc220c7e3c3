#include "core/edit/xml_parser.h"

#include <gtest/gtest.h>

#include <string>

namespace quillmere {
namespace {

// Keeps the text of one parse.
class TextDelegate : public XMLParserDelegate {
  public:
    void didStartElement(std::string_view, const Attributes&) override {}
    void foundCharacters(std::string_view characters) override { text += characters; }
    void didEndElement(std::string_view) override {}
    std::string text;
};

TEST(XMLParser, NeverLoadsExternalEntitiesAndStopsExpansionBombs) {
    TextDelegate external;
    EXPECT_TRUE(XMLParser::parse(
        "<!DOCTYPE a [<!ENTITY secret SYSTEM \"/etc/hostname\">]><a>[&secret;]</a>", external));
    EXPECT_EQ(external.text, "[]");

    std::string bomb = "<!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
    for (int level = 1; level <= 12; ++level) {
        std::string expansion;
        for (int copy = 0; copy < 10; ++copy) expansion += "&e" + std::to_string(level - 1) + ";";
        bomb += "<!ENTITY e" + std::to_string(level) + " \"" + expansion + "\">";
    }
    TextDelegate exploded;
    EXPECT_FALSE(XMLParser::parse(bomb + "]><a>&e12;</a>", exploded));
}

}  // namespace
}  // namespace quillmere
