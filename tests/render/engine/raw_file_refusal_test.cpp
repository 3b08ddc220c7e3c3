#include <gtest/gtest.h>

#include "core/render/engine/gpu_render_engine.h"
#include "tests/fixtures/process_raw_check_limits.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

std::string exportFailure(GPURenderEngine& engine, const fs::path& file) {
    const OpenedPhoto photo = engine.openSync(file);
    try {
        futureOf<std::string>([&](auto done) {
            engine.exportPhoto(photo.id, {}, {}, {}, done);
        }).get();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

// An opened photo whose file is replaced by one that LibRaw cannot read safely is not exported,
// and the engine goes on exporting the other photos.
TEST(RAWFileRefusal, TheExportOfAReplacedFileIsRefusedAndTheOtherPhotosGoOn) {
    testing::TemporaryFolder folder;
    const fs::path replaced = folder.path() / "a.dng", other = folder.path() / "b.dng";
    fixtures::writeSyntheticDNG(replaced, {});
    fixtures::writeSyntheticDNG(other, {});
    GPURenderEngine engine(std::make_shared<Device>());
    engine.openSync(replaced);
    {
        const fixtures::ProcessRAWCheckLimits tight(fixtures::refusingEveryFile());
        fs::last_write_time(replaced, fs::last_write_time(replaced) + std::chrono::hours(1));
        EXPECT_EQ(exportFailure(engine, replaced), "Cannot decode a.dng as a supported photo.");
    }
    EXPECT_EQ(exportFailure(engine, other), "");
}

}  // namespace
}  // namespace quillmere
