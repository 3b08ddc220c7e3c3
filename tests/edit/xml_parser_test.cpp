#include "core/edit/xml_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillmere {
namespace {

// Writes every event as one line, so a test can compare the whole sequence.
class RecordingDelegate : public XMLParserDelegate {
  public:
    void didStartElement(std::string_view name, const Attributes& attributes) override {
        std::string line = "start " + std::string(name);
        for (const auto& [attribute, value] : attributes) {
            line += " " + std::string(attribute) + "=" + std::string(value);
        }
        flushText();
        events.push_back(line);
    }
    void foundCharacters(std::string_view characters) override { text += characters; }
    void didEndElement(std::string_view name) override {
        flushText();
        events.push_back("end " + std::string(name));
    }

    std::vector<std::string> events;

  private:
    void flushText() {
        if (!text.empty()) events.push_back("text " + text);
        text.clear();
    }
    std::string text;
};

TEST(XMLParser, ReportsQualifiedNamesAttributesAndText) {
    RecordingDelegate delegate;
    ASSERT_TRUE(XMLParser::parse(
        R"(<?xml version="1.0"?><rdf:Description xmlns:crs="http://ns.adobe.com/camera-raw-settings/1.0/" crs:Tint="-7"><crs:Exposure2012>a &amp; b</crs:Exposure2012></rdf:Description>)",
        delegate));
    EXPECT_EQ(delegate.events,
              (std::vector<std::string>{
                  "start rdf:Description xmlns:crs=http://ns.adobe.com/camera-raw-settings/1.0/ "
                  "crs:Tint=-7",
                  "start crs:Exposure2012", "text a & b", "end crs:Exposure2012",
                  "end rdf:Description"}));
}

TEST(XMLParser, LeavesCDATASectionsOut) {
    RecordingDelegate delegate;
    ASSERT_TRUE(XMLParser::parse("<a>1<![CDATA[2<b>]]>3</a>", delegate));
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"start a", "text 13", "end a"}));
}

TEST(XMLParser, RefusesDocumentsThatAreNotWellFormed) {
    for (const char* document :
         {"", "<a>", "<a></b>", "<a x='1' x='2'/>", "<a/><b/>", "<a>&undefined;</a>"}) {
        SCOPED_TRACE(document);
        RecordingDelegate delegate;
        EXPECT_FALSE(XMLParser::parse(document, delegate));
    }
}

TEST(XMLParser, StopsEntityExpansionBombs) {
    std::string document = "<!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">";
    for (int level = 1; level <= 12; ++level) {
        const std::string previous = "&e" + std::to_string(level - 1) + ";";
        std::string expansion;
        for (int copy = 0; copy < 10; ++copy) expansion += previous;
        document += "<!ENTITY e" + std::to_string(level) + " \"" + expansion + "\">";
    }
    document += "]><a>&e12;</a>";
    RecordingDelegate delegate;
    EXPECT_FALSE(XMLParser::parse(document, delegate));
}

TEST(XMLParser, NeverLoadsExternalEntities) {
    RecordingDelegate delegate;
    const bool parsed = XMLParser::parse(
        "<!DOCTYPE a [<!ENTITY secret SYSTEM \"/etc/hostname\">]><a>[&secret;]</a>", delegate);
    EXPECT_TRUE(parsed);
    EXPECT_EQ(delegate.events, (std::vector<std::string>{"start a", "text []", "end a"}));
}

TEST(XMLParser, ParsesDocumentsLargerThanOneChunk) {
    const std::string filler(3 << 20, ' ');
    RecordingDelegate delegate;
    ASSERT_TRUE(XMLParser::parse("<a>" + filler + "x</a>", delegate));
    ASSERT_EQ(delegate.events.size(), 3u);
    EXPECT_EQ(delegate.events[1], "text " + filler + "x");
}

}  // namespace
}  // namespace quillmere
