#include "core/render/export/dng_exporter.h"

#include <gtest/gtest.h>

#include <fstream>
#include <limits>

#include "core/common/file_io.h"
#include "core/imageio/xmp_document.h"
#include "core/render/export/dng_export_error.h"
#include "core/render/export/embedded_edit_record.h"
#include "core/render/export/embedded_metadata.h"
#include "rawbridge/qx_raw.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/render/export/classic_tiff_builder.h"
#include "tests/render/export/sample_dng.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using testing::ClassicTIFFReader;
using testing::makeSampleDNG;
using testing::TIFFEntry;

ExportOptions dngOptions(bool includeSoftware, bool includeEditParameters) {
    return {.format = ExportFormat::dng,
            .quality = 0.9,
            .maxLongEdge = std::nullopt,
            .includeSoftware = includeSoftware,
            .includeEditParameters = includeEditParameters};
}

EditParams someEdit() {
    EditParams edit = EditParams::neutral(5100, -4);
    edit.exposure = 1.25;
    edit.shadows = 35;
    return edit;
}

// A camera's packet with a rating, a creator tool and both kinds of earlier record.
std::string cameraPacket() {
    XmpDocument xmp;
    xmp.setText("xmp:Rating", "3");
    xmp.setText("xmp:CreatorTool", "Camera firmware 2.1");
    xmp.setText(EmbeddedMetadata::editRecordPath, "{\"stale\":true}");
    xmp.setText(EmbeddedMetadata::legacyEditRecordPath, "{\"stale\":true}");
    return xmp.serialize();
}

struct Exported {
    std::vector<TIFFEntry> entries;
    std::optional<XmpDocument> xmp;
};

Exported inspect(const std::string& dng) {
    const ClassicTIFFReader reader(dng);
    Exported exported{reader.entries(reader.firstDirectory()), std::nullopt};
    for (const TIFFEntry& entry : exported.entries) {
        if (entry.tag == 700) exported.xmp = XmpDocument::parse(reader.byteValue(entry));
    }
    return exported;
}

bool hasTag(const Exported& exported, std::uint16_t tag) {
    for (const TIFFEntry& entry : exported.entries) {
        if (entry.tag == tag) return true;
    }
    return false;
}

class DNGExporterTest : public ::testing::TestWithParam<bool> {
  protected:
    bool bigEndian() const { return GetParam(); }
    fs::path write(const std::string& name, const std::string& bytes) {
        const fs::path path = folder_.path() / name;
        file_io::writeFileAtomically(path, bytes);
        return path;
    }
    testing::TemporaryFolder folder_;
};

INSTANTIATE_TEST_SUITE_P(ByteOrders, DNGExporterTest, ::testing::Bool(), [](const auto& info) {
    return info.param ? "BigEndian" : "LittleEndian";
});

TEST_P(DNGExporterTest, RecordReadsBackFromTheExportedFile) {
    const std::string source = makeSampleDNG(bigEndian(), cameraPacket()).bytes;
    const fs::path exported =
        write("export.dng", DNGExporter::embed(source, someEdit(), dngOptions(true, true)));

    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(exported);
    ASSERT_TRUE(record.has_value());
    EXPECT_FALSE(record->editsAppliedToPixels);
    EXPECT_EQ(record->parameters, someEdit());
    EXPECT_EQ(record->schemaVersion, 1);
    EXPECT_EQ(record->application, "Quillmere");
}

TEST_P(DNGExporterTest, KeepsTheCameraXMPAndReplacesEarlierRecords) {
    const std::string source = makeSampleDNG(bigEndian(), cameraPacket()).bytes;
    const Exported exported =
        inspect(DNGExporter::embed(source, someEdit(), dngOptions(true, true)));
    ASSERT_TRUE(exported.xmp.has_value());
    EXPECT_EQ(exported.xmp->text("xmp:Rating"), "3");
    EXPECT_EQ(exported.xmp->text("xmp:CreatorTool"), "Quillmere");
    EXPECT_EQ(exported.xmp->text(EmbeddedMetadata::legacyEditRecordPath), std::nullopt);
    const std::optional<std::string> record = exported.xmp->text(EmbeddedMetadata::editRecordPath);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(EmbeddedEditRecord::decode(json::parse(*record)).parameters, someEdit());
    EXPECT_TRUE(hasTag(exported, 305));
}

TEST_P(DNGExporterTest, SwitchesRemoveWhatTheSourceHad) {
    const std::string source = makeSampleDNG(bigEndian(), cameraPacket()).bytes;

    const Exported withoutSoftware =
        inspect(DNGExporter::embed(source, someEdit(), dngOptions(false, true)));
    EXPECT_FALSE(hasTag(withoutSoftware, 305));
    ASSERT_TRUE(withoutSoftware.xmp.has_value());
    EXPECT_EQ(withoutSoftware.xmp->text("xmp:CreatorTool"), std::nullopt);

    const Exported withoutRecord =
        inspect(DNGExporter::embed(source, someEdit(), dngOptions(true, false)));
    ASSERT_TRUE(withoutRecord.xmp.has_value());
    EXPECT_EQ(withoutRecord.xmp->text(EmbeddedMetadata::editRecordPath), std::nullopt);
    EXPECT_EQ(withoutRecord.xmp->text(EmbeddedMetadata::legacyEditRecordPath), std::nullopt);
    EXPECT_EQ(withoutRecord.xmp->text("xmp:Rating"), "3");
}

TEST(DNGExporterSourceTest, RasterSourcesAreRefused) {
    for (const char* name :
         {"/photos/a.jpg", "/photos/b.JPEG", "/photos/c.heic", "/photos/d.HEIF"}) {
        try {
            DNGExporter::data(name, EditParams(), dngOptions(true, true));
            ADD_FAILURE() << name;
        } catch (const DNGExportError& error) {
            EXPECT_EQ(error.code(), DNGExportError::Code::rasterNotSupported) << name;
        }
    }
}

TEST(DNGExporterSourceTest, FileBeyondThirtyTwoBitOffsetsIsRefusedUnread) {
    testing::TemporaryFolder folder;
    const fs::path huge = folder.path() / "huge.dng";
    file_io::writeFileAtomically(huge, makeSampleDNG(false).bytes);
    fs::resize_file(huge, std::uintmax_t{1} << 32);  // sparse: nothing is written
    try {
        DNGExporter::data(huge, someEdit(), dngOptions(true, true));
        ADD_FAILURE() << "the file was accepted";
    } catch (const DNGExportError& error) {
        EXPECT_EQ(error.code(), DNGExportError::Code::invalidDNG);
    }
}

TEST(DNGExporterSourceTest, OtherRAWGoesThroughTheConverter) {
    testing::TemporaryFolder folder;
    const fs::path converted = folder.path() / "converted.bin";
    file_io::writeFileAtomically(converted, makeSampleDNG(false).bytes);
    const fs::path converter = folder.path() / "converter";
    std::ofstream(converter) << "#!/bin/sh\ncp '" << converted.string() << "' \"$4/out.dng\"\n";
    fs::permissions(converter, fs::perms::owner_all);
    const fs::path source = folder.path() / "IMG_0001.CR3";
    file_io::writeFileAtomically(source, "raw");

    try {
        DNGExporter::data(source, someEdit(), dngOptions(true, true),
                          {.allowed = false, .executableCandidates = {converter}});
        ADD_FAILURE() << "the store edition converted";
    } catch (const DNGExportError& error) {
        EXPECT_EQ(error.code(), DNGExportError::Code::externalConverterUnavailable);
    }

    const fs::path exported = folder.path() / "export.dng";
    file_io::writeFileAtomically(
        exported, DNGExporter::data(source, someEdit(), dngOptions(true, true),
                                    {.allowed = true, .executableCandidates = {converter}}));
    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(exported);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->parameters, someEdit());
}

TEST(DNGExporterSourceTest, CameraDNGKeepsItsSensorData) {
    const fs::path source = fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng";
    const std::optional<std::string> sourceBytes = file_io::readFile(source);
    ASSERT_TRUE(sourceBytes.has_value());
    const std::string output = DNGExporter::data(source, someEdit(), dngOptions(true, true));
    EXPECT_EQ(output.substr(0, 4), sourceBytes->substr(0, 4));
    EXPECT_EQ(output.substr(8, sourceBytes->size() - 8), sourceBytes->substr(8));

    testing::TemporaryFolder folder;
    const fs::path exported = folder.path() / "export.dng";
    file_io::writeFileAtomically(exported, output);

    struct Sensor {
        int width = 0;
        int height = 0;
        std::vector<float> plane;
    };
    const auto readSensor = [](const fs::path& path) {
        QXRAWMetadata metadata{};
        float* pixels = nullptr;
        char error[1024] = {};
        Sensor sensor;
        EXPECT_EQ(qx_raw_read(path.c_str(), &metadata, &pixels, error, sizeof error), 0) << error;
        if (pixels != nullptr) {
            sensor = {
                metadata.width, metadata.height,
                std::vector<float>(pixels, pixels + std::size_t(metadata.packed_width) *
                                                        std::size_t(metadata.packed_height) * 4)};
            qx_raw_free(pixels);
        }
        return sensor;
    };
    const Sensor original = readSensor(source);
    const Sensor rewritten = readSensor(exported);
    ASSERT_FALSE(original.plane.empty());
    EXPECT_EQ(rewritten.width, original.width);
    EXPECT_EQ(rewritten.height, original.height);
    EXPECT_EQ(rewritten.plane, original.plane);
    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(exported);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(record->parameters, someEdit());
}

}  // namespace
}  // namespace quillmere
