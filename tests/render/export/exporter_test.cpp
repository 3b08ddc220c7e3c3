#include "core/render/export/exporter.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <limits>
#include <memory>

#include "core/common/coding_error.h"
#include "core/common/file_io.h"
#include "core/common/uuid.h"
#include "core/imageio/photo_metadata.h"
#include "core/render/export/embedded_metadata.h"
#include "core/render/export/exporter_error.h"
#include "reader/raster/raster_decoder.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/texture_fixtures.h"
#include "tests/fixtures/written_metadata.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using testing_support::isColour;
using testing_support::linearColour;
using testing_support::pixelAt;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
const fixtures::TestPattern pattern{};

// A developed image in the test pattern's colours: display-encoded values, bottom row first, the
// marker filling the top-left quarter of each edge so that it survives scaling.
std::shared_ptr<Texture> developedPattern(int width, int height) {
    static const Device device;
    return testing::makeTexture(device, PixelFormat::rgba16Float, width, height, [&](int x, int y) {
        const fixtures::Rgb8& colour =
            4 * x < width && 4 * (height - 1 - y) < height ? pattern.marker : pattern.background;
        return msl::float4{colour[0] / 255.0f, colour[1] / 255.0f, colour[2] / 255.0f, 1.0f};
    });
}

ExportOptions jpegOptions(std::optional<std::int64_t> maxLongEdge = std::nullopt,
                          bool includeSoftware = true, bool includeEditParameters = true) {
    return {.format = ExportFormat::jpeg,
            .quality = 0.9,
            .maxLongEdge = maxLongEdge,
            .includeSoftware = includeSoftware,
            .includeEditParameters = includeEditParameters};
}

EditParams sampleEdit() {
    EditParams edit;
    edit.exposure = 1.25;
    edit.spotRepairs.emplace_back(UUID::random(), 0.25, 0.5, 0.05,
                                  std::vector<SpotRepair::Point>{{0.3, 0.5}, {0.35, 0.55}});
    return edit;
}

class ExporterTest : public ::testing::Test {
  protected:
    // A camera JPEG with this EXIF and a camera-sized pixel count, whose XMP carries edit records
    // under both product names and a creator tool.
    fs::path cameraPhoto(fixtures::TestExif exif = {.make = "Cam", .model = "One"}) {
        PhotoMetadata metadata;
        const std::string stale = EmbeddedEditRecord(EditParams{}).json();
        metadata.xmp().setText(EmbeddedMetadata::editRecordPath, stale);
        metadata.xmp().setText(EmbeddedMetadata::legacyEditRecordPath, stale);
        metadata.xmp().setText("xmp:CreatorTool", "Camera Tool");
        exif.pixelDimensions = {6000, 4000};
        const fs::path file = folder_.path() / "photo.jpg";
        file_io::writeFileAtomically(
            file, fixtures::withExif(
                      metadata.writeToJpeg(encodeJpeg(fixtures::makePattern(pattern), 0.9)), exif));
        return file;
    }

    testing::TemporaryFolder folder_;
    Exporter exporter_;
};

// The developed image is upright, so the export is too: its orientation says so, and the marker
// stays in the top-left corner at any size.
TEST_F(ExporterTest, TheOutputSizeIsWrittenAndRecordedUpright) {
    struct Case {
        int width, height;
        std::optional<std::int64_t> limit;
        int expectedWidth, expectedHeight;
    };
    const fs::path source = cameraPhoto({.orientation = 6, .make = "Cam"});
    for (const Case& c : {Case{64, 48, std::nullopt, 64, 48}, Case{600, 400, 256, 256, 171},
                          Case{400, 600, 256, 171, 256},
                          // The height stays 1, yet the width must shrink.
                          Case{10000, 1, 100, 100, 1}}) {
        SCOPED_TRACE(std::to_string(c.width) + " × " + std::to_string(c.height));
        const std::string jpeg = exporter_.data(*developedPattern(c.width, c.height), source,
                                                sampleEdit(), jpegOptions(c.limit));
        const LinearImage decoded = decodeRasterData(jpeg);
        EXPECT_EQ(decoded.width, c.expectedWidth);
        EXPECT_EQ(decoded.height, c.expectedHeight);
        const fixtures::WrittenMetadata metadata = fixtures::writtenMetadata(jpeg);
        EXPECT_EQ(metadata.exifValue("Exif.Image.Orientation"), "1");
        EXPECT_EQ(metadata.exifValue("Exif.Photo.PixelXDimension"),
                  std::to_string(c.expectedWidth));
        EXPECT_EQ(metadata.xmpText("tiff:ImageLength"), std::to_string(c.expectedHeight));
        if (c.expectedHeight < 100) continue;
        const int right = decoded.width - 1, bottom = decoded.height - 1;
        EXPECT_TRUE(isColour(pixelAt(decoded, 20, 20), linearColour(pattern.marker), 0.03f));
        EXPECT_TRUE(
            isColour(pixelAt(decoded, 20, bottom - 20), linearColour(pattern.background), 0.03f));
        EXPECT_TRUE(
            isColour(pixelAt(decoded, right - 20, 20), linearColour(pattern.background), 0.03f));
    }
}

// The export's quality is brought into the encoder's range, and one that is not a number or is
// infinite, of either sign, encodes at full quality.
TEST_F(ExporterTest, QualityIsLimitedToTheEncodersRangeAndNonFiniteIsBest) {
    const auto image = developedPattern(64, 48);
    const fs::path source = cameraPhoto();
    const EditParams edit = sampleEdit();
    const auto encodedAt = [&](double quality) {
        ExportOptions options = jpegOptions();
        options.quality = quality;
        return exporter_.data(*image, source, edit, options);
    };
    const std::string best = encodedAt(1.0);
    const std::string worst = encodedAt(0.0);
    ASSERT_FALSE(best == worst);
    constexpr double infinity = std::numeric_limits<double>::infinity();
    const std::pair<double, const std::string*> cases[] = {
        {1.7, &best}, {-0.3, &worst}, {nan, &best}, {infinity, &best}, {-infinity, &best}};
    for (const auto& [quality, expected] : cases) {
        // Compared as booleans: a failure would otherwise print two whole files.
        EXPECT_TRUE(encodedAt(quality) == *expected) << quality;
    }
}

TEST_F(ExporterTest, SwitchesDecideTheRecordAndTheCreator) {
    const auto image = developedPattern(64, 48);
    const fs::path source = cameraPhoto({.make = "Cam", .software = "Cam firmware 1.0"});

    const std::string withoutEither =
        exporter_.data(*image, source, sampleEdit(), jpegOptions({}, false, false));
    const fixtures::WrittenMetadata off = fixtures::writtenMetadata(withoutEither);
    EXPECT_EQ(off.xmpText(EmbeddedMetadata::editRecordPath), std::nullopt);
    EXPECT_EQ(off.exifValue("Exif.Image.Software"), std::nullopt);
    EXPECT_EQ(off.exifValue("Exif.Image.Make"), "Cam");

    // The record says the edit is in the pixels, so opening the export applies nothing twice.
    const EditParams edit = sampleEdit();
    const fs::path exported = folder_.path() / "export.jpg";
    file_io::writeFileAtomically(exported,
                                 exporter_.data(*image, source, edit, jpegOptions({}, true, true)));
    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(exported);
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->editsAppliedToPixels);
    EXPECT_EQ(record->parameters, edit);
    const fixtures::WrittenMetadata on = fixtures::writtenMetadata(*file_io::readFile(exported));
    EXPECT_EQ(on.xmpText(EmbeddedMetadata::legacyEditRecordPath), std::nullopt);
    EXPECT_EQ(on.exifValue("Exif.Image.Software"), "Quillmere");

    EditParams notANumber;
    notANumber.exposure = nan;
    EXPECT_THROW(exporter_.data(*image, source, notANumber, jpegOptions()), EncodingError);
}

TEST_F(ExporterTest, ExportImageWritesBesideTheSourceOrReportsWhyNot) {
    const auto image = developedPattern(64, 48);
    const fs::path source = cameraPhoto();
    const fs::path written = exporter_.exportImage(*image, source, std::nullopt, 0.9);
    EXPECT_EQ(written, folder_.path() / "exports" / "photo_edit.jpg");
    EXPECT_TRUE(file_io::readFile(written) == exporter_.jpegData(*image, source, 0.9));

    const auto failure = [&](const std::optional<fs::path>& destination) {
        try {
            exporter_.exportImage(*image, source, destination, 0.9);
        } catch (const ExporterError& error) {
            return error.code();
        }
        ADD_FAILURE() << "the export was written";
        return ExporterError::Code::imageIOFailure;
    };
    EXPECT_EQ(failure(folder_.path() / "missing" / "out.jpg"), ExporterError::Code::writeFailed);
    fs::remove_all(folder_.path() / "exports");
    file_io::writeFileAtomically(folder_.path() / "exports", "a file where the folder goes");
    EXPECT_EQ(failure(std::nullopt), ExporterError::Code::directoryCreationFailed);
}

// Viewers name the export's colour space by its profile's description, which for a standard sRGB
// profile is "sRGB IEC61966-2.1".
TEST_F(ExporterTest, TheExportCarriesAnSRGBProfileThatSaysSo) {
    const std::string jpeg =
        exporter_.data(*developedPattern(64, 48), cameraPhoto(), sampleEdit(), jpegOptions());
    const std::string icc = fixtures::writtenMetadata(jpeg).iccProfile;
    const std::unique_ptr<void, decltype(&cmsCloseProfile)> profile(
        cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())),
        cmsCloseProfile);
    ASSERT_TRUE(profile);
    char description[64] = {};
    cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", description,
                           sizeof description);
    EXPECT_STREQ(description, "sRGB IEC61966-2.1");
}

}  // namespace
}  // namespace quillmere
