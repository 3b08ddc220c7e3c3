// The photo reader's reading of a photo's metadata: Exiv2's own reading of each container, kept
// as Exiv2 gives it (its quirks included), and what the reader may spend on it.

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>
#include <map>
#include <string>

#include "core/imageio/exiv2_lock.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/photo_metadata.h"
#include "core/imageio/xmp_document.h"
#include "reader/metadata/metadata_budget.h"
#include "reader/metadata/metadata_extent.h"
#include "tests/fixtures/camera_metadata.h"
#include "tests/fixtures/hostile_metadata.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/metadata_test_support.h"

namespace quillmere {
namespace {

using namespace std::chrono_literals;

const fixtures::TestExif kCamera{.isoSpeedRatings = {400},
                                 .make = "Panasonic",
                                 .model = "DMC-GH4",
                                 .exposureTime = "1/125",
                                 .fNumber = "28/10"};

// The Exif photo tags Exiv2 reads from `file` itself, in the test's own process, as the program
// read them before the reader existed: key → Exiv2's text.
std::map<std::string, std::string> photoTagsExiv2Reads(const std::string& file) {
    Exiv2Lock lock;
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
        reinterpret_cast<const Exiv2::byte*>(file.data()), static_cast<long>(file.size()));
    image->readMetadata();
    std::map<std::string, std::string> tags;
    for (const Exiv2::Exifdatum& datum : image->exifData()) {
        if (datum.groupName() == "Photo" && datum.tagName() != "InteroperabilityTag") {
            tags.emplace(datum.key(), datum.toString());
        }
    }
    return tags;
}

// Each container Exiv2 reads its own way, and each camera's quirk Exiv2 reads past (a pointer back
// to a directory read before is skipped; values sharing bytes are each read), gives the reader the
// properties and the capture tags Exiv2 reads.
TEST(MetadataReading, CameraContainersAndQuirksKeepWhatExiv2Reads) {
    const struct {
        const char* what;
        std::string file;
        const char* properties;
    } cases[] = {
        {"an RW2 file, from its preview", fixtures::rw2LikeFile(kCamera),
         R"({"{Exif}": {"ISOSpeedRatings": [400], "FNumber": 2.8, "ExposureTime": 0.008},
             "{TIFF}": {"Make": "Panasonic", "Model": "DMC-GH4"}})"},
        {"a CR3 file, from its CMT boxes", fixtures::cr3LikeFile(kCamera),
         R"({"{Exif}": {"ISOSpeedRatings": [400], "FNumber": 2.8, "ExposureTime": 0.008},
             "{TIFF}": {"Make": "Panasonic", "Model": "DMC-GH4"}})"},
        {"a JPEG whose Interoperability pointer leads back to IFD0",
         fixtures::jpegWithInteropBackToIfd0(),
         R"({"{Exif}": {"ISOSpeedRatings": [200], "FNumber": 5.6, "ExposureTime": 0.016666666666666666},
             "{TIFF}": {"Make": "Kodak", "Model": "ProBack"}, "PixelWidth": 16, "PixelHeight": 16})"},
        {"a JPEG whose values share their bytes", fixtures::jpegWithSharedValueBytes(),
         R"({"{Exif}": {"ExposureTime": 0.008}, "{TIFF}": {"Make": "Trust", "Model": "Trust PowerCam"},
             "PixelWidth": 16, "PixelHeight": 16})"},
    };
    for (const auto& [what, file, properties] : cases) {
        SCOPED_TRACE(what);
        const PhotoFileMetadata metadata = testing_support::metadataOfFile(file);
        EXPECT_EQ(metadata.properties.json(), json::Json::parse(properties))
            << metadata.properties.json().dump();
        const std::map<std::string, std::string> tags = photoTagsExiv2Reads(file);
        EXPECT_GE(tags.size(), 1u);
        const PhotoMetadata capture(metadata.capture);
        for (const auto& [key, text] : tags) EXPECT_EQ(capture.exifValue(key), text) << key;
        EXPECT_EQ(capture.exifValue("Exif.Image.Orientation"), "1");
    }
}

// A HEIF file's EXIF and XMP items are read as Exiv2 reads them where it can (a phone's layout),
// the edit record in its XMP included; its EXIF through the program's own reading of its items
// where Exiv2 finds none (libheif's layout, whose XMP Exiv2 does not find either).
TEST(MetadataReading, AHeifFilesExifAndXmpItemsAreRead) {
    XmpDocument xmp;
    xmp.setText("quillmere:EditRecord", "{\"record\":1}");
    const PhotoFileMetadata phone =
        testing_support::metadataOfFile(fixtures::appleLikeHeif(kCamera, xmp.serialize()));
    EXPECT_EQ(phone.properties.model, "DMC-GH4");
    EXPECT_EQ(PhotoMetadata(phone.capture).exifValue("Exif.Photo.ExposureTime"), "1/125");
    EXPECT_EQ(phone.editRecord, "{\"record\":1}");

    if (!fixtures::canEncodeHeic()) GTEST_SKIP() << "libheif on this machine cannot encode HEVC";
    const std::string written = fixtures::encodeTestHeic(
        fixtures::makePattern({}), {.exif = fixtures::exifBlock(kCamera), .xmp = xmp.serialize()});
    const PhotoFileMetadata libheif = testing_support::metadataOfFile(written);
    EXPECT_EQ(libheif.properties.model, "DMC-GH4");
    EXPECT_EQ(PhotoMetadata(libheif.capture).exifValue("Exif.Photo.ExposureTime"), "1/125");

    // A phone's profile box that Exiv2 gives up on (its stated size is not its size, as in some
    // phones' files): the EXIF item is read all the same.
    std::string profile(132, '\0');
    profile[3] = '\x7F';
    const std::string refusedProfile = fixtures::encodeTestHeic(
        fixtures::makePattern({}), {.iccProfile = profile, .exif = fixtures::exifBlock(kCamera)});
    const PhotoFileMetadata phoneWithProfile = testing_support::metadataOfFile(refusedProfile);
    EXPECT_EQ(phoneWithProfile.properties.model, "DMC-GH4");
    EXPECT_EQ(PhotoMetadata(phoneWithProfile.capture).exifValue("Exif.Photo.ExposureTime"),
              "1/125");
}

std::string jpegWithSegments(const std::string& segments) {
    return "\xFF\xD8" + segments + std::string("\xFF\xDA\x00\x02", 4) + "scan data\xFF\xD9";
}

// What the claim counts as read of a file: a JPEG's segments up to its scan, walked as Exiv2 walks
// them; an ISO base media file's boxes but its media data, and the EXIF and XMP items it locates;
// every other file whole. A layout that cannot be followed counts the whole file.
TEST(MetadataReading, TheClaimCountsWhatExiv2AndTheReaderRead) {
    const std::string app1(std::string("\xFF\xE1\x00\x10", 4) + std::string(14, 'x'));
    const std::string quantisation(std::string("\xFF\xDB\x00\x06", 4) + "qqqq");
    // A phone's HEIF file: 'ftyp', 'meta', and 'mdat' holding the items: a picture of 7 bytes,
    // the EXIF and the XMP. All but the media data's header and the picture are counted.
    const std::string heif = fixtures::appleLikeHeif(kCamera, std::string(3000, 'x'));
    const std::string cut = heif.substr(0, heif.size() - 1);
    const struct {
        const char* what;
        std::string file;
        std::uint64_t bytes;
    } cases[] = {
        {"a JPEG's segments, up to its scan", jpegWithSegments(app1 + quantisation),
         2 + 18 + 8 + 2},
        {"stray and fill bytes before a marker", jpegWithSegments("ab\xFF\xFF" + app1.substr(1)),
         2 + 2 + 2 + 17 + 2},
        {"a JPEG whose segment runs past its end",
         std::string("\xFF\xD8\xFF\xE1\x40\x00", 6) + app1, 6 + app1.size()},
        {"a JPEG without a scan", "\xFF\xD8" + app1 + "\xFF\xD9", 2 + 18 + 2},
        {"a HEIF file's boxes and its EXIF and XMP items", heif, heif.size() - 8 - 7},
        {"a box that runs past the file's end", cut, cut.size()},
        {"a TIFF file", std::string("II*\0\x08\0\0\0", 8) + std::string(100, 't'), 108},
        {"nothing", "", 0},
    };
    for (const auto& [what, file, bytes] : cases) {
        EXPECT_EQ(metadataExtentOf(file), bytes) << what;
    }
}

// The budget's formula, with the constants metadata_budget.h states: a base, so much a byte, a cap.
TEST(MetadataReading, TheBudgetGrowsWithTheMetadataUpToItsCap) {
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    const struct {
        std::uint64_t bytes;
        std::uint64_t memory;
        std::chrono::milliseconds time;
    } cases[] = {
        {0, 32 * kMiB, 250ms},
        {100'000, 32 * kMiB + 4'800'000, 350ms},
        {170'000, 32 * kMiB + 8'160'000, 420ms},
        {180'000, 40 * kMiB, 430ms},
        {400'000, 40 * kMiB, 500ms},
        {std::uint64_t{1} << 62, 40 * kMiB, 500ms},
    };
    for (const auto& [bytes, memory, time] : cases) {
        const MetadataBudget budget = metadataBudget(bytes);
        EXPECT_EQ(budget.memoryBytes, memory) << bytes;
        EXPECT_EQ(budget.processorTime, time) << bytes;
    }
}

}  // namespace
}  // namespace quillmere
