#include "core/render/export/dng_exporter.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/common/file_io.h"
#include "core/decode/raw_loader_error.h"
#include "core/imageio/xmp_document.h"
#include "core/render/export/dng_converter.h"
#include "core/render/export/dng_export_error.h"
#include "core/render/export/embedded_edit_record.h"
#include "core/render/export/embedded_metadata.h"
#include "reader/metadata/xmp_parsing.h"
#include "tests/fixtures/hostile_metadata.h"
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

// The first directory's XMP packet and whether it has a Software entry.
std::pair<std::optional<XmpDocument>, bool> inspect(const std::string& dng) {
    const ClassicTIFFReader reader(dng);
    std::pair<std::optional<XmpDocument>, bool> found{std::nullopt, false};
    for (const TIFFEntry& entry : reader.entries(reader.firstDirectory())) {
        if (entry.tag == 700) found.first = parseXmpPacket(reader.byteValue(entry));
        if (entry.tag == 305) found.second = true;
    }
    return found;
}

// `bytes` as a DNG file to export, opened.
OpenedDNG openedDNG(const testing::TemporaryFolder& folder, const std::string& bytes) {
    const fs::path file = folder.path() / "source.dng";
    file_io::writeFileAtomically(file, bytes);
    return readDNGFile(file);
}

// Whatever the switches say, the camera's own XMP stays and no earlier record survives.
TEST(DNGExporterTest, SwitchesDecideTheRecordAndTheCreatorOverTheCameraXMP) {
    const testing::TemporaryFolder folder;
    const std::string source = makeSampleDNG(true, cameraPacket()).bytes;
    for (const bool software : {false, true}) {
        for (const bool record : {false, true}) {
            SCOPED_TRACE(std::to_string(software) + std::to_string(record));
            const auto [xmp, hasSoftware] = inspect(DNGExporter::embed(
                openedDNG(folder, source), someEdit(), dngOptions(software, record)));
            EXPECT_EQ(hasSoftware, software);
            ASSERT_TRUE(xmp.has_value());
            EXPECT_EQ(xmp->text("xmp:Rating"), "3");
            EXPECT_EQ(xmp->text("xmp:CreatorTool"),
                      software ? std::optional<std::string>("Quillmere") : std::nullopt);
            EXPECT_EQ(xmp->text(EmbeddedMetadata::legacyEditRecordPath), std::nullopt);
            EXPECT_EQ(xmp->text(EmbeddedMetadata::editRecordPath).has_value(), record);
        }
    }
}

TEST(DNGExporterTest, TheRecordReadsBackFromTheExportedCameraDNG) {
    const fs::path source = fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng";
    testing::TemporaryFolder folder;
    const fs::path exported = folder.path() / "export.dng";
    file_io::writeFileAtomically(exported,
                                 DNGExporter::data(source, someEdit(), dngOptions(true, true)));
    const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(exported);
    ASSERT_TRUE(record.has_value());
    EXPECT_FALSE(record->editsAppliedToPixels);
    EXPECT_EQ(record->parameters, someEdit());
}

// A camera packet of more properties than any photo's XMP holds (which the XMP parser would
// compare one with another for minutes) reads as no record, and an export gives the file a fresh
// packet holding only the record.
TEST(DNGExporterTest, AnXmpPacketBeyondAnyPhotosIsReplaced) {
    std::string packet = fixtures::xmpPacketOfProperties(200000);
    packet.insert(
        packet.find("/>"),
        " xmlns:quillmere=\"https://quillmere.dornavelte.com/ns/1.0/\" quillmere:EditRecord=\"x\"");
    const std::string source = makeSampleDNG(false, packet).bytes;
    testing::TemporaryFolder folder;
    file_io::writeFileAtomically(folder.path() / "camera.dng", source);
    EXPECT_EQ(EmbeddedMetadata::read(folder.path() / "camera.dng"), std::nullopt);

    const auto [xmp, hasSoftware] =
        inspect(DNGExporter::embed(openedDNG(folder, source), someEdit(), dngOptions(false, true)));
    ASSERT_TRUE(xmp.has_value());
    EXPECT_EQ(xmp->propertiesBySize(),
              std::vector<std::string>{std::string(EmbeddedMetadata::editRecordPath)});
}

TEST(DNGExporterTest, RasterSourcesAndFilesBeyondThirtyTwoBitOffsetsAreRefused) {
    const auto refusal = [](const fs::path& source) {
        try {
            DNGExporter::data(source, someEdit(), dngOptions(true, true));
        } catch (const DNGExportError& error) {
            return error.code();
        }
        ADD_FAILURE() << source << " was accepted";
        return DNGExportError::Code::externalConverterUnavailable;
    };
    for (const char* name :
         {"/photos/a.jpg", "/photos/b.JPEG", "/photos/c.heic", "/photos/d.HEIF"}) {
        EXPECT_EQ(refusal(name), DNGExportError::Code::rasterNotSupported) << name;
    }
    testing::TemporaryFolder folder;
    const fs::path huge = folder.path() / "huge.dng";
    file_io::writeFileAtomically(huge, makeSampleDNG(false).bytes);
    fs::resize_file(huge, std::uintmax_t{1} << 32);  // sparse: nothing is written
    EXPECT_EQ(refusal(huge), DNGExportError::Code::invalidDNG);
}

TEST(DNGExporterTest, ASourceGoneSinceItWasOpenedIsSaidToBeGone) {
    try {
        DNGExporter::data("/photos/gone/IMG_1.dng", someEdit(), dngOptions(true, true));
        ADD_FAILURE() << "a missing source was exported";
    } catch (const RAWLoaderError& error) {
        EXPECT_STREQ(error.what(), "The file IMG_1.dng was not found in /photos/gone.");
    }
}

// Other RAW files are never handed to a converter here: not by the standard setup, and not by a
// setup that forbids it even where a converter is at hand.
TEST(DNGExporterTest, OtherRAWFilesAreRefusedWithoutStartingAConverter) {
    testing::TemporaryFolder folder;
    const fs::path source = folder.path() / "IMG 0001.CR3";
    file_io::writeFileAtomically(source, "raw");
    const fs::path started = folder.path() / "started";
    const fs::path converter = folder.path() / "converter";
    std::ofstream(converter) << "#!/bin/sh\ntouch '" << started.string()
                             << "'\nprintf dng > \"$4/out.dng\"\n";
    fs::permissions(converter, fs::perms::owner_all);

    for (const DNGConverterSetup& setup :
         {DNGConverterSetup::standard(),
          DNGConverterSetup{.allowed = false, .executableCandidates = {converter}}}) {
        try {
            convertToDNG(source, setup);
            ADD_FAILURE() << "the conversion succeeded";
        } catch (const DNGExportError& error) {
            EXPECT_EQ(error.code(), DNGExportError::Code::externalConverterUnavailable);
        }
    }
    EXPECT_FALSE(fs::exists(started));
}

std::string recordText(double exposure) {
    EditParams edit;
    edit.exposure = exposure;
    return EmbeddedEditRecord(edit).json();
}

// The current record wins over the legacy one, which is read only without it; a record that
// cannot be decoded, and a file that cannot be read, give none.
TEST(EmbeddedMetadataTest, ReadsTheCurrentRecordElseTheLegacyOneElseNothing) {
    json::Json withoutVersion = json::parse(recordText(1));
    withoutVersion.erase("schemaVersion");
    json::Json wrongType = json::parse(recordText(1));
    wrongType["editsAppliedToPixels"] = "no";
    const std::string current(EmbeddedMetadata::editRecordPath);
    const std::string legacy(EmbeddedMetadata::legacyEditRecordPath);
    const struct {
        std::vector<std::pair<std::string, std::string>> properties;
        std::optional<double> exposure;
    } cases[] = {
        {{{legacy, recordText(-1)}}, -1},
        {{{legacy, recordText(-1)}, {current, recordText(2)}}, 2},
        {{{current, json::dumpCompact(withoutVersion)}}, std::nullopt},
        {{{current, json::dumpCompact(wrongType)}}, std::nullopt},
        {{{current, "{"}}, std::nullopt},
        {{{current, "not json at all"}}, std::nullopt},
        {{{"xmp:Rating", "2"}}, std::nullopt},
    };
    testing::TemporaryFolder folder;
    const fs::path file = folder.path() / "photo.dng";
    for (const auto& c : cases) {
        XmpDocument xmp;
        for (const auto& [path, text] : c.properties) xmp.setText(path, text);
        file_io::writeFileAtomically(file, makeSampleDNG(false, xmp.serialize()).bytes);
        const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(file);
        EXPECT_EQ(record ? std::optional(record->parameters.exposure) : std::nullopt, c.exposure)
            << c.properties.back().second;
    }

    file_io::writeFileAtomically(file, "just some text");
    EXPECT_EQ(EmbeddedMetadata::read(file), std::nullopt);
    EXPECT_EQ(EmbeddedMetadata::read(folder.path() / "missing.jpg"), std::nullopt);
}

}  // namespace
}  // namespace quillmere
