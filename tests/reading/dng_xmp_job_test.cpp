// The reader's DNG XMP job, as the DNG export asks it: it builds the export's packet on the DNG's
// own, and refuses a request whose packet does not come as one sealed file of its stated size; the
// program takes its answer only as one packet. And the metadata job takes no parameters.

#include <gtest/gtest.h>

#include <cstring>

#include "core/reading/dng_xmp_exchange.h"
#include "core/reading/dng_xmp_packet.h"
#include "core/reading/sealed_file.h"
#include "tests/reading/reading_test_support.h"

namespace quillmere {
namespace {

using testing::errorOf;
using testing::kRoomy;

class DngXmpJob : public testing::ReadingTest {
  protected:
    PhotoReader reader{PhotoReader::locate(), kRoomy};
    std::shared_ptr<const OpenedFile> source = OpenedFile::open(photo("camera.dng"));
};

const std::string kCameraPacket =
    R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
    R"(<rdf:Description rdf:about="" xmlns:xmp="http://ns.adobe.com/xap/1.0/" xmp:Rating="4" )"
    R"(xmp:CreatorTool="Camera"/></rdf:RDF></x:xmpmeta>)";

TEST_F(DngXmpJob, TheExportsPacketIsBuiltOnTheDNGsOwn) {
    const std::optional<std::string> built =
        readerBuiltDngXmpPacket(reader, *source, kCameraPacket, R"({"record":1})", true);
    ASSERT_TRUE(built);
    EXPECT_NE(built->find("xmp:Rating=\"4\""), std::string::npos) << *built;
    EXPECT_NE(built->find("Quillmere"), std::string::npos) << *built;
    EXPECT_EQ(built->find("Camera"), std::string::npos) << *built;
    EXPECT_NE(built->find("{&quot;record&quot;:1}"), std::string::npos) << *built;
    // A packet that is not XMP is replaced by a fresh one, still with the record.
    const std::optional<std::string> fresh =
        readerBuiltDngXmpPacket(reader, *source, "<not xmp", R"({"record":2})", false);
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh->find("{&quot;record&quot;:2}"), std::string::npos) << *fresh;
}

TEST_F(DngXmpJob, APacketThatIsNotOneSealedFileOfItsSizeIsRefused) {
    const auto sealed = [](std::uint64_t bytes) {
        return makeSealedFile(bytes, [](std::byte* data) { std::memset(data, 'x', 1); });
    };
    const auto ask = [&](std::uint64_t stated, std::vector<UniqueDescriptor> files) {
        reader.forgetTimeVerdicts(source->path());
        return errorOf([&] {
                   reader.ask(*OpenedFile::open(photo("camera.dng", std::to_string(stated))),
                              {reader_protocol::JobKind::dngXmp,
                               dng_xmp_exchange::encodeParams({stated, std::nullopt, false}),
                               std::move(files)});
               })
            .kind();
    };
    std::vector<UniqueDescriptor> two;
    two.push_back(sealed(8));
    two.push_back(sealed(8));
    std::vector<UniqueDescriptor> longer;
    longer.push_back(sealed(9));
    EXPECT_EQ(ask(8, {}), ReadingError::Kind::refused);
    EXPECT_EQ(ask(8, std::move(two)), ReadingError::Kind::refused);
    EXPECT_EQ(ask(8, std::move(longer)), ReadingError::Kind::refused);
}

// What the program takes of an answer: the packet alone, nothing after it and no file with it.
TEST_F(DngXmpJob, AnAnswerIsTakenOnlyAsOnePacket) {
    PhotoReader standIn(testing::kStandIn, kRoomy);
    const struct {
        const char* behaviour;
        std::optional<std::string> packet;
    } cases[] = {
        {"answer", "<x/>"}, {"answerWithFile", std::nullopt}, {"answerWithLeftover", std::nullopt}};
    for (const auto& [behaviour, packet] : cases) {
        EXPECT_EQ(readerBuiltDngXmpPacket(standIn, *source, "<p/>", behaviour, false), packet)
            << behaviour;
    }
}

// The metadata job takes a photo and nothing else: a request with parameters or files is refused.
TEST_F(DngXmpJob, TheMetadataJobRefusesARequestWithParameters) {
    const ReadingError refused = errorOf([&] {
        reader.ask(*source, {reader_protocol::JobKind::metadata, "x", {}});
    });
    EXPECT_EQ(refused.kind(), ReadingError::Kind::refused);
    EXPECT_STREQ(refused.what(), "The metadata of a photo is asked without parameters.");
}

}  // namespace
}  // namespace quillmere
