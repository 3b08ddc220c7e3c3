// The hostile families of a photo's metadata, through each door: XMP nested a thousand structures
// of long names deep, and XMP of thousands of properties of one schema, as a DNG's packet and in
// a JPEG. Exiv2 takes minutes and gigabytes over such files; the reader leaves their
// metadata out within its budget, and the photo still opens and exports as JPEG (and a DNG as
// DNG, with its record). The same photo without the trick keeps its metadata.

#include <gtest/gtest.h>

#include "core/common/file_io.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/xmp_document.h"
#include "core/reading/photo_file_metadata.h"
#include "core/render/engine/gpu_render_engine.h"
#include "core/render/export/dng_directory_rewrite.h"
#include "core/render/export/embedded_metadata.h"
#include "tests/fixtures/hostile_metadata.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/fixtures/written_metadata.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

ExportOptions exportAs(ExportFormat format) {
    return {.format = format,
            .quality = 0.9,
            .maxLongEdge = std::nullopt,
            .includeSoftware = true,
            .includeEditParameters = true};
}

EditParams exposed() {
    EditParams edit;
    edit.exposure = 0.75;
    return edit;
}

class HostileMetadata : public ::testing::Test {
  protected:
    // A camera's DNG (ISO 200) whose packet is `packet`, written at `name`.
    fs::path dng(const std::string& name, const std::string& packet) {
        fixtures::SyntheticDNGOptions camera;
        camera.iso = 200;
        fixtures::writeSyntheticDNG(folder_.path() / "camera.dng", camera);
        return written(name, rewriteDNGDirectory(*file_io::readFile(folder_.path() / "camera.dng"),
                                                 [&](auto) { return packet; }, false));
    }
    // A camera's JPEG (model "Camera") with `xmp` laid into it.
    fs::path jpeg(const std::string& name,
                  const std::function<std::string(const std::string&)>& xmp) {
        const std::string camera = fixtures::withExif(
            encodeJpeg(fixtures::makePattern({.width = 24, .height = 16}), 0.9),
            {.make = "Quillmere", .model = "Camera"});
        return written(name, xmp(camera));
    }
    fs::path written(const std::string& name, const std::string& bytes) {
        file_io::writeFileAtomically(folder_.path() / name, bytes);
        return folder_.path() / name;
    }
    std::string exported(const fs::path& photo, ExportFormat format) {
        const PhotoID id = engine_.openSync(photo).id;
        return futureOf<std::string>([&](auto done) {
                   engine_.exportPhoto(id, exposed(), exportAs(format), {}, done);
               })
            .get();
    }

    testing::TemporaryFolder folder_;
    GPURenderEngine engine_{std::make_shared<Device>()};
};

// An honest packet: the record of an earlier DNG export and a rating.
std::string honestPacket() {
    XmpDocument xmp;
    EmbeddedEditRecord record(exposed());
    record.editsAppliedToPixels = false;
    xmp.setText("quillmere:EditRecord", record.json());
    xmp.setText("xmp:Rating", "4");
    return xmp.serialize();
}

TEST_F(HostileMetadata, EachFamilyIsLeftOutWithinItsBudgetAndThePhotoStillOpensAndExports) {
    const std::string deep = fixtures::xmpPacketOfDeepAncestry(990, 300);
    const struct {
        const char* what;
        fs::path hostile;
        fs::path honest;
    } families[] = {
        {"deep ancestry in a DNG", dng("deep.dng", deep), dng("honest.dng", honestPacket())},
        {"one schema in a DNG", dng("schema.dng", fixtures::xmpPacketOfProperties(80000)),
         dng("honest.dng", honestPacket())},
        {"deep ancestry in a JPEG's extended XMP",
         jpeg("deep.jpg", [&](const std::string& camera) {
             return fixtures::withExtendedXmp(camera, deep);
         }),
         jpeg("honest.jpg",
              [&](const std::string& camera) {
                  return fixtures::withExtendedXmp(camera, honestPacket());
              })},
        {"one schema in a JPEG's extended XMP",
         jpeg("schema.jpg",
              [](const std::string& camera) {
                  return fixtures::withExtendedXmp(camera, fixtures::xmpPacketOfProperties(40000));
              }),
         jpeg("honest.jpg", [&](const std::string& camera) {
             return fixtures::withApp1Segment(camera, fixtures::xmpIdentifier, honestPacket());
         })},
    };
    for (const auto& [what, hostile, honest] : families) {
        SCOPED_TRACE(what);
        const bool isDNG = hostile.extension() == ".dng";
        EXPECT_EQ(*readPhotoFileMetadata(hostile), PhotoFileMetadata{});
        const std::shared_ptr<const PhotoFileMetadata> kept = readPhotoFileMetadata(honest);
        EXPECT_TRUE(kept->editRecord);
        if (isDNG) {
            EXPECT_EQ(kept->properties.isoSpeedRatings, std::vector<std::int64_t>{200});
        } else {
            EXPECT_EQ(kept->properties.model, "Camera");
        }

        // The JPEG export carries the record and the creator, and no capture data it lost.
        const fixtures::WrittenMetadata jpeg =
            fixtures::writtenMetadata(exported(hostile, ExportFormat::jpeg));
        EXPECT_TRUE(jpeg.xmpText("quillmere:EditRecord"));
        EXPECT_EQ(jpeg.exifValue("Exif.Image.Software"), "Quillmere");
        EXPECT_EQ(jpeg.exifValue("Exif.Image.Model"), std::nullopt);
        EXPECT_EQ(fixtures::writtenMetadata(exported(honest, ExportFormat::jpeg))
                      .exifValue(isDNG ? "Exif.Photo.ISOSpeedRatings" : "Exif.Image.Model"),
                  isDNG ? "200" : "Camera");
        if (!isDNG) continue;

        // The DNG export's packet is built from nothing around the record; the honest one keeps
        // the camera's properties beside the new record.
        const fs::path dngExport = written("export.dng", exported(hostile, ExportFormat::dng));
        const std::optional<EmbeddedEditRecord> record = EmbeddedMetadata::read(dngExport);
        ASSERT_TRUE(record);
        EXPECT_FALSE(record->editsAppliedToPixels);
        EXPECT_EQ(record->parameters, exposed());
        EXPECT_LT(fs::file_size(dngExport), fs::file_size(hostile) + (64 << 10));
        const fs::path honestExport = written("export.dng", exported(honest, ExportFormat::dng));
        EXPECT_TRUE(EmbeddedMetadata::read(honestExport));
    }
}

}  // namespace
}  // namespace quillmere
