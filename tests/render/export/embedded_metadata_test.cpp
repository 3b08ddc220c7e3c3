#include "core/render/export/embedded_metadata.h"

#include <gtest/gtest.h>

#include "core/common/file_io.h"
#include "core/imageio/xmp_document.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/render/export/sample_dng.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

EditParams editWithExposure(double exposure) {
    EditParams edit;
    edit.exposure = exposure;
    return edit;
}

std::string recordText(double exposure) {
    return EmbeddedEditRecord(editWithExposure(exposure)).json();
}

class EmbeddedMetadataTest : public ::testing::Test {
  protected:
    // A DNG whose XMP holds `properties` (path, text).
    fs::path dngWith(const std::vector<std::pair<std::string, std::string>>& properties) {
        XmpDocument xmp;
        for (const auto& [path, text] : properties) xmp.setText(path, text);
        const fs::path file = folder_.path() / "photo.dng";
        file_io::writeFileAtomically(file, testing::makeSampleDNG(false, xmp.serialize()).bytes);
        return file;
    }

    testing::TemporaryFolder folder_;
};

TEST_F(EmbeddedMetadataTest, LegacyRecordIsReadOnlyWithoutACurrentOne) {
    const auto legacyOnly = EmbeddedMetadata::read(
        dngWith({{std::string(EmbeddedMetadata::legacyEditRecordPath), recordText(-1)}}));
    ASSERT_TRUE(legacyOnly.has_value());
    EXPECT_EQ(legacyOnly->parameters, editWithExposure(-1));

    const auto both = EmbeddedMetadata::read(
        dngWith({{std::string(EmbeddedMetadata::legacyEditRecordPath), recordText(-1)},
                 {std::string(EmbeddedMetadata::editRecordPath), recordText(2)}}));
    ASSERT_TRUE(both.has_value());
    EXPECT_EQ(both->parameters, editWithExposure(2));
}

TEST_F(EmbeddedMetadataTest, AnythingUnreadableGivesNoRecord) {
    json::Json withoutVersion = json::parse(recordText(1));
    withoutVersion.erase("schemaVersion");
    json::Json wrongType = json::parse(recordText(1));
    wrongType["editsAppliedToPixels"] = "no";
    for (const std::string& text : {json::dumpCompact(withoutVersion), json::dumpCompact(wrongType),
                                    std::string("{"), std::string("not json at all")}) {
        EXPECT_EQ(EmbeddedMetadata::read(
                      dngWith({{std::string(EmbeddedMetadata::editRecordPath), text}})),
                  std::nullopt)
            << text;
    }
    EXPECT_EQ(EmbeddedMetadata::read(dngWith({{"xmp:Rating", "2"}})), std::nullopt);

    const fs::path notAnImage = folder_.path() / "notes.dng";
    file_io::writeFileAtomically(notAnImage, "just some text");
    EXPECT_EQ(EmbeddedMetadata::read(notAnImage), std::nullopt);
    EXPECT_EQ(EmbeddedMetadata::read(folder_.path() / "missing.jpg"), std::nullopt);
}

}  // namespace
}  // namespace quillmere
