#include "core/imageio/photo_metadata.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <exiv2/exiv2.hpp>
#include <filesystem>

#include "core/common/file_io.h"
#include "core/imageio/exiv2_lock.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/jpeg_extended_xmp.h"
#include "reader/metadata/xmp_parsing.h"
#include "reader/raster/raster_decoder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/written_metadata.h"
#include "tests/imageio/imageio_test_support.h"
#include "tests/imageio/metadata_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using Code = ImageIOError::Code;
using testing_support::errorCodeOf;
using testing_support::pixelAt;

// The EXIF keys and the IPTC caption Exiv2 finds in a JPEG.
struct WrittenExif {
    std::vector<std::string> keys;
    std::string caption;
};

WrittenExif inspect(const std::string& jpeg) {
    Exiv2Lock lock;
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
        reinterpret_cast<const Exiv2::byte*>(jpeg.data()), static_cast<long>(jpeg.size()));
    image->readMetadata();
    WrittenExif written;
    for (const Exiv2::Exifdatum& datum : image->exifData()) written.keys.push_back(datum.key());
    const auto caption = image->iptcData().findKey(Exiv2::IptcKey("Iptc.Application2.Caption"));
    if (caption != image->iptcData().end()) written.caption = caption->toString();
    return written;
}

bool contains(const std::vector<std::string>& keys, const std::string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

TEST(PhotoMetadataTest, CaptureMetadataKeepsCaptureFactsAndDropsTheRest) {
    // A camera photo carrying everything an export must drop as well as what it must keep.
    const std::string camera = fixtures::withExif(encodeJpeg(fixtures::makePattern({}), 0.9),
                                                  {.orientation = 6,
                                                   .isoSpeedRatings = {400},
                                                   .make = "Quillmere Test",
                                                   .model = "Model One",
                                                   .software = "Firmware 1.0",
                                                   .exposureTime = "1/250",
                                                   .makerNote = true,
                                                   .thumbnail = true,
                                                   .dngVersion = true,
                                                   .gps = true,
                                                   .iptcCaption = "Harbour at dusk"});
    const WrittenExif original = inspect(camera);
    ASSERT_TRUE(contains(original.keys, "Exif.Thumbnail.JPEGInterchangeFormat"));
    ASSERT_TRUE(contains(original.keys, "Exif.Photo.MakerNote"));
    ASSERT_TRUE(contains(original.keys, "Exif.Image.DNGVersion"));

    const PhotoMetadata capture(testing_support::metadataOfFile(camera).capture);
    const std::string exported = capture.writeToJpeg(encodeJpeg(fixtures::makePattern({}), 0.9));

    const WrittenExif written = inspect(exported);
    for (const std::string& key : written.keys) {
        EXPECT_EQ(key.rfind("Exif.Thumbnail.", 0), std::string::npos) << key;
    }
    EXPECT_FALSE(contains(written.keys, "Exif.Photo.MakerNote"));
    EXPECT_FALSE(contains(written.keys, "Exif.Image.DNGVersion"));
    EXPECT_TRUE(contains(written.keys, "Exif.GPSInfo.GPSLatitude"));
    EXPECT_EQ(written.caption, "Harbour at dusk");

    const fixtures::WrittenMetadata reread = fixtures::writtenMetadata(exported);
    // Orientation 1: the upright export must not be turned again by a viewer.
    for (const auto& [key, value] :
         {std::pair{"Exif.Image.Orientation", "1"}, std::pair{"Exif.Image.Model", "Model One"},
          std::pair{"Exif.Image.Software", "Firmware 1.0"},
          std::pair{"Exif.Photo.ExposureTime", "1/250"}}) {
        EXPECT_EQ(reread.exifValue(key), value) << key;
    }
}

TEST(PhotoMetadataTest, XmpAndExifEditsAreWrittenWithoutTouchingPixelsOrProfile) {
    const std::string source = encodeJpeg(fixtures::makePattern({.background = {255, 0, 0}}), 0.9,
                                          fixtures::displayP3IccProfile());
    PhotoMetadata metadata;
    metadata.xmp().setText("quillmere:EditRecord", R"({"schemaVersion":1})");
    metadata.setExifValue("Exif.Image.Software", "Quillmere");
    const std::string written = metadata.writeToJpeg(source);

    const fixtures::WrittenMetadata reread = fixtures::writtenMetadata(written);
    EXPECT_EQ(reread.xmpText("quillmere:EditRecord"), R"({"schemaVersion":1})");
    EXPECT_EQ(reread.exifValue("Exif.Image.Software"), "Quillmere");

    // Same decoded pixels, wide-gamut red included: the scan data and the ICC profile survive.
    const LinearImage before = decodeRasterData(source);
    const LinearImage after = decodeRasterData(written);
    EXPECT_EQ(before.rgba, after.rgba);
    EXPECT_LT(pixelAt(after, 40, 30)[1], -0.02f);

    metadata.removeExifValue("Exif.Image.Software");
    EXPECT_EQ(
        fixtures::writtenMetadata(metadata.writeToJpeg(written)).exifValue("Exif.Image.Software"),
        std::nullopt);
}

// The payloads of the APP1 segments whose identifier is `id`, found by their bytes: 0xFF 0xE1,
// a 16-bit length that counts itself, then the identifier.
std::vector<std::string> app1Payloads(const std::string& jpeg, std::string_view id) {
    std::vector<std::string> payloads;
    for (std::size_t at = jpeg.find(id); at != std::string::npos; at = jpeg.find(id, at + 1)) {
        if (at < 4 || jpeg.compare(at - 4, 2, "\xFF\xE1") != 0) continue;
        const std::size_t length = static_cast<unsigned char>(jpeg[at - 2]) * 256 +
                                   static_cast<unsigned char>(jpeg[at - 1]);
        payloads.push_back(jpeg.substr(at + id.size(), length - 2 - id.size()));
    }
    return payloads;
}

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + 4; ++i)
        value = value * 256 + static_cast<unsigned char>(bytes[i]);
    return value;
}

std::string md5Hex(const std::string& bytes) {
    unsigned char digest[16];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_md5(), nullptr);
    std::string hex;
    for (const unsigned char byte : digest) hex += fmt::format("{:02X}", byte);
    return hex;
}

TEST(PhotoMetadataTest, XmpBeyondOneSegmentIsWrittenAsExtendedXmpAndReadBackWhole) {
    const std::string jpeg = encodeJpeg(fixtures::makePattern({}), 0.9);
    PhotoMetadata metadata;
    const std::string record(200000, 'r');
    metadata.xmp().setText("quillmere:EditRecord", record);
    metadata.xmp().setText("tiff:Software", "Quillmere");
    const std::string written = metadata.writeToJpeg(jpeg);

    // The standard packet keeps the small property and names the extended packet by its digest;
    // the extension segments carry that GUID, the full length and their portion's offset.
    const auto standard =
        app1Payloads(written, std::string_view("http://ns.adobe.com/xap/1.0/\0", 29));
    ASSERT_EQ(standard.size(), 1u);
    const std::optional<XmpDocument> main = parseXmpPacket(standard[0]);
    ASSERT_TRUE(main.has_value());
    EXPECT_EQ(main->text("tiff:Software"), "Quillmere");
    EXPECT_EQ(main->text("quillmere:EditRecord"), std::nullopt);
    const std::optional<std::string> guid = main->text("xmpNote:HasExtendedXMP");
    ASSERT_TRUE(guid.has_value());
    const auto chunks =
        app1Payloads(written, std::string_view("http://ns.adobe.com/xmp/extension/\0", 35));
    ASSERT_EQ(chunks.size(), 4u);
    const std::uint32_t fullLength = bigEndian(chunks[0], 32);
    std::string extended(fullLength, '\0');
    for (const std::string& chunk : chunks) {
        EXPECT_EQ(chunk.substr(0, 32), *guid);
        EXPECT_EQ(bigEndian(chunk, 32), fullLength);
        extended.replace(bigEndian(chunk, 36), chunk.size() - 40, chunk.substr(40));
    }
    EXPECT_EQ(md5Hex(extended), *guid);
    EXPECT_EQ(parseXmpPacket(extended)->text("quillmere:EditRecord"), record);

    // The record is read back whole; without the extended packet's last portion it is dropped.
    EXPECT_EQ(testing_support::metadataOfFile(written).editRecord, record);
    std::string damaged = written;
    const std::size_t lastChunk = damaged.rfind(chunks.back()) - 4 - 35;
    damaged.erase(lastChunk, 4 + 35 + chunks.back().size());
    EXPECT_EQ(testing_support::metadataOfFile(damaged).editRecord, std::nullopt);
}

TEST(JpegExtendedXmp, APacketBeyondItsLimitIsRefused) {
    const std::string jpeg = encodeJpeg(fixtures::makePattern({}), 0.9);
    const std::string packet(jpeg_extended_xmp::maxPacketSize + 1, 'x');
    EXPECT_EQ(errorCodeOf([&] { jpeg_extended_xmp::insert(jpeg, packet, std::string(32, '0')); }),
              Code::xmpPacketTooLarge);
}

TEST(PhotoMetadataTest, RefusesBadExifAndNonJpegTargets) {
    PhotoMetadata metadata;
    EXPECT_EQ(errorCodeOf([&] { metadata.setExifValue("Exif.Nowhere.Thing", "1"); }),
              Code::invalidMetadata);
    EXPECT_EQ(errorCodeOf([&] { metadata.setExifValue("Exif.Image.Orientation", "upright"); }),
              Code::invalidMetadata);
    EXPECT_EQ(errorCodeOf([&] { metadata.writeToJpeg("plain text"); }), Code::metadataWriteFailed);
}

}  // namespace
}  // namespace quillmere
