#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "core/decode/raw_loader_error.h"
#include "core/render/engine/gpu_render_engine.h"
#include "core/render/engine/photo_thumbnail.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/process_raw_check_limits.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

std::string exportError(GPURenderEngine& engine, const OpenedPhoto& photo) {
    try {
        futureOf<std::string>([&](auto done) {
            engine.exportPhoto(photo.id,
                               EditParams::neutral(photo.asShotTemperature, photo.asShotTint), {},
                               {}, done);
        }).get();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

// The filmstrip, the open and the export refuse a RAW file that LibRaw cannot read safely, and the
// engine goes on with the other photos.
TEST(RAWFileRefusal, NoThumbnailNoOpenNoExportAndTheOtherPhotosGoOn) {
    testing::TemporaryFolder folder;
    const fs::path cut = folder.path() / "cut.nef", good = folder.path() / "good.dng",
                   other = folder.path() / "other.dng";
    std::ofstream(cut, std::ios::binary) << fixtures::tiffDirectoryPastTheEnd();
    fixtures::writeSyntheticDNG(good, {});
    fixtures::writeSyntheticDNG(other, {});
    GPURenderEngine engine(std::make_shared<Device>());

    EXPECT_FALSE(photoThumbnail(cut));
    EXPECT_THROW(engine.openSync(cut), RAWLoaderError);

    const OpenedPhoto opened = engine.openSync(good);
    EXPECT_TRUE(photoThumbnail(good));
    {
        // The opened photo's file is replaced by one the helper cannot get through.
        const fixtures::ProcessRAWCheckLimits tight(fixtures::refusingEveryFile());
        fs::last_write_time(good, fs::last_write_time(good) + std::chrono::hours(1));
        EXPECT_FALSE(photoThumbnail(good));
        EXPECT_EQ(exportError(engine, opened), "Cannot decode good.dng as a supported photo.");
    }
    EXPECT_EQ(exportError(engine, engine.openSync(other)), "");
}

}  // namespace
}  // namespace quillmere
