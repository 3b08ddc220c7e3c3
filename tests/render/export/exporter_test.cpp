#include "core/render/export/exporter.h"

#include <gtest/gtest.h>

#include <limits>

#include "core/common/coding_error.h"
#include "core/common/file_io.h"
#include "core/common/uuid.h"
#include "core/imageio/photo_metadata.h"
#include "core/imageio/raster_decoder.h"
#include "core/render/export/dng_exporter.h"
#include "core/render/export/embedded_metadata.h"
#include "core/render/export/exporter_error.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/texture_fixtures.h"
#include "tests/imageio/imageio_test_support.h"
#include "tests/render/export/sample_dng.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using testing_support::isColour;
using testing_support::linearColour;
using testing_support::pixelAt;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();
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

PhotoMetadata metadataOf(const std::string& jpeg) {
    std::optional<PhotoMetadata> metadata = PhotoMetadata::readData(jpeg);
    if (!metadata) throw std::runtime_error("the export's metadata cannot be read");
    return *metadata;
}

// The ExporterError that `action` throws; fails the test when it throws none.
std::optional<ExporterError> exporterErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ExporterError& error) {
        return error;
    }
    ADD_FAILURE() << "expected an ExporterError";
    return std::nullopt;
}

class ExporterTest : public ::testing::Test {
  protected:
    // A camera JPEG with this EXIF and a camera-sized pixel count, whose XMP carries edit records
    // under both product names and a creator tool.
    fs::path cameraPhoto(const fixtures::TestExif& exif = {.make = "Cam", .model = "One"}) {
        const std::string jpeg = encodeJpeg(fixtures::makePattern(pattern), 0.9);
        PhotoMetadata metadata = metadataOf(fixtures::withExif(jpeg, exif));
        metadata.setExifValue("Exif.Photo.PixelXDimension", "6000");
        metadata.setExifValue("Exif.Photo.PixelYDimension", "4000");
        const std::string stale = EmbeddedEditRecord(EditParams{}).json();
        metadata.xmp().setText(EmbeddedMetadata::editRecordPath, stale);
        metadata.xmp().setText(EmbeddedMetadata::legacyEditRecordPath, stale);
        metadata.xmp().setText("xmp:CreatorTool", "Camera Tool");
        const fs::path file = folder_.path() / "photo.jpg";
        file_io::writeFileAtomically(file, metadata.writeToJpeg(jpeg));
        return file;
    }

    testing::TemporaryFolder folder_;
    Exporter exporter_;
};

TEST_F(ExporterTest, TheOutputSizeIsWrittenAndRecorded) {
    struct Case {
        int width, height;
        std::optional<std::int64_t> limit;
        int expectedWidth, expectedHeight;
    };
    const fs::path source = cameraPhoto();
    for (const Case& c : {Case{64, 48, std::nullopt, 64, 48}, Case{600, 400, 256, 256, 171},
                          Case{400, 600, 256, 171, 256},
                          // The height stays 1, yet the width must shrink.
                          Case{10000, 1, 100, 100, 1}}) {
        const std::string jpeg = exporter_.data(*developedPattern(c.width, c.height), source,
                                                sampleEdit(), jpegOptions(c.limit));
        const LinearImage decoded = decodeRasterData(jpeg);
        EXPECT_EQ(decoded.width, c.expectedWidth) << c.width << " × " << c.height;
        EXPECT_EQ(decoded.height, c.expectedHeight) << c.width << " × " << c.height;
        const PhotoMetadata metadata = metadataOf(jpeg);
        const std::string width = std::to_string(c.expectedWidth);
        const std::string height = std::to_string(c.expectedHeight);
        EXPECT_EQ(metadata.exifValue("Exif.Photo.PixelXDimension"), width);
        EXPECT_EQ(metadata.exifValue("Exif.Photo.PixelYDimension"), height);
        EXPECT_EQ(metadata.xmp().text("tiff:ImageWidth"), width);
        EXPECT_EQ(metadata.xmp().text("tiff:ImageLength"), height);
    }
}

TEST_F(ExporterTest, AnUprightExportOfARotatedPhotoKeepsItsTopLeftCorner) {
    const fs::path source = cameraPhoto({.orientation = 6, .make = "Cam"});
    for (const std::optional<std::int64_t> limit : {std::optional<std::int64_t>(), {256}}) {
        const std::string jpeg =
            exporter_.data(*developedPattern(600, 400), source, sampleEdit(), jpegOptions(limit));
        EXPECT_EQ(metadataOf(jpeg).exifValue("Exif.Image.Orientation"), "1");
        const LinearImage decoded = decodeRasterData(jpeg);
        const int right = decoded.width - 1, bottom = decoded.height - 1;
        EXPECT_TRUE(isColour(pixelAt(decoded, 20, 20), linearColour(pattern.marker), 0.03f));
        EXPECT_TRUE(
            isColour(pixelAt(decoded, 20, bottom - 20), linearColour(pattern.background), 0.03f));
        EXPECT_TRUE(
            isColour(pixelAt(decoded, right - 20, 20), linearColour(pattern.background), 0.03f));
    }
}

TEST_F(ExporterTest, QualityIsLimitedToTheEncodersRange) {
    const auto image = developedPattern(64, 48);
    const fs::path source = cameraPhoto();
    const EditParams edit = sampleEdit();
    auto encodedAt = [&](double quality) {
        ExportOptions options = jpegOptions();
        options.quality = quality;
        return exporter_.data(*image, source, edit, options);
    };
    // Compared as booleans: a failure would otherwise print two whole files.
    const std::string best = encodedAt(1.0);
    const std::string worst = encodedAt(0.0);
    ASSERT_FALSE(best == worst);
    EXPECT_TRUE(encodedAt(1.7) == best);
    EXPECT_TRUE(encodedAt(-0.3) == worst);
    EXPECT_TRUE(encodedAt(nan) == best);
    EXPECT_TRUE(encodedAt(infinity) == best);
    EXPECT_TRUE(encodedAt(-infinity) == best);
}

TEST_F(ExporterTest, SwitchesDecideTheRecordAndTheCreator) {
    const auto image = developedPattern(64, 48);
    const fs::path source = cameraPhoto({.make = "Cam", .software = "Cam firmware 1.0"});

    const PhotoMetadata off =
        metadataOf(exporter_.data(*image, source, sampleEdit(), jpegOptions({}, false, false)));
    EXPECT_EQ(off.xmp().text(EmbeddedMetadata::editRecordPath), std::nullopt);
    EXPECT_EQ(off.xmp().text(EmbeddedMetadata::legacyEditRecordPath), std::nullopt);
    EXPECT_EQ(off.xmp().text("tiff:Software"), std::nullopt);
    EXPECT_EQ(off.xmp().text("xmp:CreatorTool"), std::nullopt);
    EXPECT_EQ(off.exifValue("Exif.Image.Software"), std::nullopt);
    EXPECT_EQ(off.exifValue("Exif.Image.Make"), "Cam");

    const PhotoMetadata on =
        metadataOf(exporter_.data(*image, source, sampleEdit(), jpegOptions({}, true, true)));
    EXPECT_NE(on.xmp().text(EmbeddedMetadata::editRecordPath), std::nullopt);
    EXPECT_EQ(on.xmp().text(EmbeddedMetadata::legacyEditRecordPath), std::nullopt);
    EXPECT_EQ(on.xmp().text("tiff:Software"), "Quillmere");
    EXPECT_EQ(on.exifValue("Exif.Image.Software"), "Quillmere");
}

TEST_F(ExporterTest, TheRecordReadsBackAsAnAppliedEdit) {
    const EditParams edit = sampleEdit();
    const fs::path exported = folder_.path() / "export.jpg";
    file_io::writeFileAtomically(
        exported, exporter_.data(*developedPattern(64, 48), cameraPhoto(), edit, jpegOptions(32)));
    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(exported);
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(record->editsAppliedToPixels);
    EXPECT_EQ(record->parameters, edit);
}

TEST_F(ExporterTest, CaptureMetadataComesOverWithoutCameraInternals) {
    const fs::path source = cameraPhoto({.orientation = 8,
                                         .isoSpeedRatings = {400},
                                         .model = "One",
                                         .exposureTime = "1/125",
                                         .makerNote = true,
                                         .thumbnail = true,
                                         .dngVersion = true,
                                         .gps = true});
    const auto image = developedPattern(64, 48);
    const std::string plain = exporter_.jpegData(*image, source, 0.9);
    for (const std::string& jpeg : {plain, exporter_.data(*image, source, {}, jpegOptions())}) {
        const PhotoMetadata metadata = metadataOf(jpeg);
        EXPECT_EQ(metadata.exifValue("Exif.Image.Orientation"), "1");
        EXPECT_EQ(metadata.exifValue("Exif.Image.Model"), "One");
        EXPECT_EQ(metadata.exifValue("Exif.Photo.ExposureTime"), "1/125");
        EXPECT_EQ(metadata.exifValue("Exif.Photo.ISOSpeedRatings"), "400");
        EXPECT_EQ(metadata.exifValue("Exif.GPSInfo.GPSLatitudeRef"), "N");
        EXPECT_EQ(metadata.exifValue("Exif.Photo.PixelXDimension"), "64");
        EXPECT_EQ(metadata.exifValue("Exif.Photo.MakerNote"), std::nullopt);
        EXPECT_EQ(metadata.exifValue("Exif.Image.DNGVersion"), std::nullopt);
        EXPECT_EQ(metadata.exifValue("Exif.Thumbnail.JPEGInterchangeFormat"), std::nullopt);
    }
    // A plain JPEG carries no record, and its quality goes to the encoder as it is, where minus
    // infinity is the lowest quality.
    EXPECT_TRUE(metadataOf(plain).xmp().empty());
    EXPECT_TRUE(exporter_.jpegData(*image, source, -infinity) ==
                exporter_.jpegData(*image, source, 0.0));
}

TEST_F(ExporterTest, ALongStrokeGoesIntoExtendedXmpAndReadsBackEqual) {
    EditParams edit;
    std::vector<SpotRepair::Point> stroke;
    for (int i = 0; i < 3000; ++i) stroke.push_back({0.1 + i * 0.0002, 0.3 + i * 0.0001});
    edit.spotRepairs.emplace_back(UUID::random(), 0.1, 0.3, 0.02, stroke);
    const fs::path exported = folder_.path() / "export.jpg";
    file_io::writeFileAtomically(
        exported, exporter_.data(*developedPattern(64, 48), cameraPhoto(), edit, jpegOptions()));
    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(exported);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->parameters, edit);
}

TEST_F(ExporterTest, ARecordThatCannotBeEncodedFailsTheExport) {
    EditParams notANumber;
    notANumber.exposure = nan;
    EXPECT_THROW(
        exporter_.data(*developedPattern(64, 48), cameraPhoto(), notANumber, jpegOptions()),
        EncodingError);
}

TEST_F(ExporterTest, ExportImageWritesBesideTheSourceOrReportsWhyNot) {
    const auto image = developedPattern(64, 48);
    const fs::path source = cameraPhoto();
    const fs::path written = exporter_.exportImage(*image, source, std::nullopt, 0.9);
    EXPECT_EQ(written, folder_.path() / "exports" / "photo_edit.jpg");
    EXPECT_TRUE(file_io::readFile(written) == exporter_.jpegData(*image, source, 0.9));

    const auto writeError = exporterErrorOf([&] {
        exporter_.exportImage(*image, source, folder_.path() / "missing" / "out.jpg", 0.9);
    });
    ASSERT_TRUE(writeError.has_value());
    EXPECT_EQ(writeError->code(), ExporterError::Code::writeFailed);
    EXPECT_THROW(std::rethrow_exception(writeError->underlying()), std::system_error);

    fs::remove_all(folder_.path() / "exports");
    file_io::writeFileAtomically(folder_.path() / "exports", "a file where the folder goes");
    const auto folderError =
        exporterErrorOf([&] { exporter_.exportImage(*image, source, std::nullopt, 0.9); });
    ASSERT_TRUE(folderError.has_value());
    EXPECT_EQ(folderError->code(), ExporterError::Code::directoryCreationFailed);
    EXPECT_THROW(std::rethrow_exception(folderError->underlying()), fs::filesystem_error);
}

}  // namespace
}  // namespace quillmere
