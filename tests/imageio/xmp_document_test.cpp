#include "core/imageio/xmp_document.h"

#include <gtest/gtest.h>

#include <string>

#include "core/imageio/xmp_schema.h"
#include "reader/metadata/xmp_parsing.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using Code = ImageIOError::Code;
using testing_support::errorCodeOf;

// A record as the exporters write it: compact JSON with every character XML must escape.
const std::string recordJson =
    R"({"application":"Quillmere","editsAppliedToPixels":true,"parameters":{"note":"<b> & \"é\" 'x'"},"schemaVersion":1})";

std::string packetDeclaring(const std::string& prefix, const std::string& uri,
                            const std::string& value) {
    return "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
           "rdf:about=\"\" xmlns:" +
           prefix + "=\"" + uri + "\" " + prefix + ":EditRecord=\"" + value +
           "\"/></rdf:RDF></x:xmpmeta>";
}

TEST(XmpDocument, RecordRoundTripsThroughAPacketInTheProductSchema) {
    XmpDocument document;
    EXPECT_TRUE(document.empty());
    document.setText("quillmere:EditRecord", recordJson);
    const std::optional<XmpDocument> parsed = parseXmpPacket(document.serialize());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->text("quillmere:EditRecord"), recordJson);
    EXPECT_EQ(parsed->text("starlingmoor:EditRecord"), std::nullopt);
}

TEST(XmpDocument, SchemasAreFoundByUriWhateverPrefixAFileUsed) {
    const auto current = parseXmpPacket(packetDeclaring("qm", productXmpSchema.uri, "current"));
    ASSERT_TRUE(current);
    EXPECT_EQ(current->text("quillmere:EditRecord"), "current");

    const auto legacy = parseXmpPacket(packetDeclaring("sm", legacyXmpSchema.uri, "legacy"));
    ASSERT_TRUE(legacy);
    EXPECT_EQ(legacy->text("starlingmoor:EditRecord"), "legacy");
    EXPECT_EQ(legacy->text("quillmere:EditRecord"), std::nullopt);
}

TEST(XmpDocument, KeepsForeignPropertiesAndRemovesOnRequest) {
    auto document = parseXmpPacket(
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
        "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" xmlns:cam=\"https://camera.example/ns/\" "
        "xmp:CreatorTool=\"Camera\" cam:Lens=\"50mm\"/></rdf:RDF></x:xmpmeta>");
    ASSERT_TRUE(document);
    document->remove("xmp:CreatorTool");
    document->remove("quillmere:EditRecord");  // absent: nothing happens
    const auto reparsed = parseXmpPacket(document->serialize());
    ASSERT_TRUE(reparsed);
    EXPECT_EQ(reparsed->text("xmp:CreatorTool"), std::nullopt);
    EXPECT_EQ(reparsed->text("cam:Lens"), "50mm");
}

// A merge replaces the properties of the same path in place and adds the others after them.
TEST(XmpDocument, AMergeReplacesPropertiesOfTheSamePathAndAddsTheRest) {
    XmpDocument standard, extended;
    standard.setText("xmp:CreatorTool", "Camera");
    standard.setText("quillmere:EditRecord", "old");
    extended.setText("quillmere:EditRecord", "new");
    extended.setText("xmp:Rating", "5");
    standard.merge(extended);
    EXPECT_EQ(standard.text("quillmere:EditRecord"), "new");
    EXPECT_EQ(standard.text("xmp:CreatorTool"), "Camera");
    EXPECT_EQ(standard.text("xmp:Rating"), "5");
    const std::optional<XmpDocument> reparsed = parseXmpPacket(standard.serialize());
    ASSERT_TRUE(reparsed);
    EXPECT_EQ(reparsed->propertiesBySize().size(), 3u);
}

TEST(XmpDocument, RefusesMalformedPathsAndPackets) {
    XmpDocument document;
    for (const char* path : {"EditRecord", ":EditRecord", "quillmere:", "quillmere:a/b",
                             "quillmere:a[1]", "unknownprefix:Value"}) {
        EXPECT_EQ(errorCodeOf([&] { document.setText(path, "x"); }), Code::invalidMetadata) << path;
    }
    EXPECT_FALSE(parseXmpPacket("<x:xmpmeta><unclosed"));
    EXPECT_FALSE(parseXmpPacket("not xml at all"));
}

}  // namespace
}  // namespace quillmere
