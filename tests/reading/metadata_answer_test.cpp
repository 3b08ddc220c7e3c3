// The metadata job's answer in its wire form: an answer comes back whole, one that breaks a bound
// does not decode, and the reader leaves out only the part of an answer beyond its bound.

#include "core/reading/metadata_answer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "core/reading/wire.h"

namespace quillmere {
namespace {

namespace bounds = metadata_answer;

PhotoFileMetadata fullAnswer() {
    PhotoFileMetadata metadata;
    ImageProperties& properties = metadata.properties;
    properties.isoSpeedRatings = {100, 200};
    properties.focalLength = 23.96;
    properties.fNumber = 2.8;
    properties.exposureTime = 0.004;
    properties.lensModel = "Prime 24mm";
    properties.dateTimeOriginal = "2024:05:01 12:30:00";
    properties.make = "Quillmere";
    properties.model = "One";
    properties.orientation = 6;
    properties.pixelWidth = 6000;
    properties.pixelHeight = 4000;
    metadata.capture = {{"Exif.Photo.FNumber", 5, std::string("\x1c\0\0\0\x0a\0\0\0", 8)},
                        {"Iptc.Application2.Caption", 0x10000, "Harbour"}};
    metadata.editRecord = R"({"schemaVersion":1})";
    return metadata;
}

TEST(MetadataAnswer, AnAnswerComesBackWholeAndAnEmptyOneEmpty) {
    for (const PhotoFileMetadata& answer : {fullAnswer(), PhotoFileMetadata{}}) {
        EXPECT_EQ(bounds::decode(bounds::encode(answer)), answer);
    }
}

// Each answer breaks one bound the decoder holds it to, or is cut short or goes on.
TEST(MetadataAnswer, AnAnswerBeyondItsBoundsDoesNotDecode) {
    const auto broken = [](const std::function<void(PhotoFileMetadata&)>& breakIt) {
        PhotoFileMetadata answer = fullAnswer();
        breakIt(answer);
        return bounds::encode(answer);
    };
    const std::string whole = bounds::encode(fullAnswer());
    const struct {
        const char* what;
        std::string body;
    } cases[] = {
        {"65 ISO speeds", broken([](auto& a) { a.properties.isoSpeedRatings.assign(65, 100); })},
        {"a text of 4097 bytes", broken([](auto& a) { a.properties.model = std::string(4097, 'm'); })},
        {"an f-number that is no number",
         broken([](auto& a) { a.properties.fNumber = std::numeric_limits<double>::quiet_NaN(); })},
        {"an infinite exposure",
         broken([](auto& a) { a.properties.exposureTime = std::numeric_limits<double>::infinity(); })},
        {"orientation 0", broken([](auto& a) { a.properties.orientation = 0; })},
        {"orientation 9", broken([](auto& a) { a.properties.orientation = 9; })},
        {"a width of 0", broken([](auto& a) { a.properties.pixelWidth = 0; })},
        {"a height below 0", broken([](auto& a) { a.properties.pixelHeight = -1; })},
        {"an XMP entry", broken([](auto& a) { a.capture[0].key = "Xmp.dc.title"; })},
        {"an entry of no key", broken([](auto& a) { a.capture[0].key.clear(); })},
        {"8193 entries", broken([](auto& a) { a.capture.resize(8193, a.capture[0]); })},
        {"1 MiB and one byte of entries",
         broken([](auto& a) {
             a.capture[1].value.assign((std::size_t{1} << 20) - 18 - 25 - 8 + 1, 'c');
         })},
        {"a record of 64 MiB and one byte",
         broken([](auto& a) { a.editRecord = std::string((std::size_t{64} << 20) + 1, 'r'); })},
        {"a cut answer", whole.substr(0, whole.size() - 1)},
        {"an answer that goes on", whole + '\0'},
    };
    for (const auto& [what, body] : cases) {
        EXPECT_THROW(bounds::decode(body), WireError) << what;
    }
    // At their bounds they decode.
    PhotoFileMetadata atBounds = fullAnswer();
    atBounds.properties.isoSpeedRatings.assign(64, 100);
    atBounds.properties.model = std::string(4096, 'm');
    atBounds.capture[1].value.assign((std::size_t{1} << 20) - 18 - 25 - 8, 'c');
    EXPECT_EQ(bounds::decode(bounds::encode(atBounds)), atBounds);
}

// The reader's side: a text, a list of ISO speeds or a record beyond its bound is left out alone;
// capture entries beyond theirs all together, the rest of the answer staying.
TEST(MetadataAnswer, TheReaderLeavesOutOnlyThePartBeyondItsBound) {
    const struct {
        const char* what;
        std::function<void(PhotoFileMetadata&)> breakIt;
        std::function<void(PhotoFileMetadata&)> leftOut;
    } cases[] = {
        {"a long lens name", [](auto& a) { a.properties.lensModel = std::string(4097, 'l'); },
         [](auto& a) { a.properties.lensModel.reset(); }},
        {"many ISO speeds", [](auto& a) { a.properties.isoSpeedRatings.assign(65, 1); },
         [](auto& a) { a.properties.isoSpeedRatings.clear(); }},
        {"many entries", [](auto& a) { a.capture.resize(8193, a.capture[0]); },
         [](auto& a) { a.capture.clear(); }},
        {"an XMP entry", [](auto& a) { a.capture.push_back({"Xmp.dc.title", 0x10005, "t"}); },
         [](auto& a) { a.capture.clear(); }},
        {"a huge record",
         [](auto& a) { a.editRecord = std::string((std::size_t{64} << 20) + 1, 'r'); },
         [](auto& a) { a.editRecord.reset(); }},
    };
    for (const auto& [what, breakIt, leftOut] : cases) {
        PhotoFileMetadata answer = fullAnswer();
        breakIt(answer);
        PhotoFileMetadata expected = fullAnswer();
        leftOut(expected);
        const PhotoFileMetadata bounded = bounds::withinBounds(answer);
        EXPECT_EQ(bounded, expected) << what;
        EXPECT_EQ(bounds::decode(bounds::encode(bounded)), expected) << what;
    }
    EXPECT_EQ(bounds::withinBounds(fullAnswer()), fullAnswer());
}

}  // namespace
}  // namespace quillmere
