#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "core/decode/libraw_fallback.h"
#include "core/decode/raw_file.h"
#include "core/decode/raw_thumbnail.h"
#include "core/reading/photo_file_metadata.h"
#include "core/render/engine/gpu_render_engine.h"
#include "core/render/engine/photo_thumbnail.h"
#include "core/render/export/embedded_metadata.h"
#include "tests/fixtures/hostile_photos.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

std::string failureOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

std::string exportFailure(GPURenderEngine& engine, const PhotoID& photo,
                          ExportFormat format = ExportFormat::jpeg) {
    ExportOptions options;
    options.format = format;
    return failureOf([&] {
        futureOf<std::string>([&](auto done) {
            engine.exportPhoto(photo, {}, options, {}, done);
        }).get();
    });
}

std::string exportFailure(GPURenderEngine& engine, const fs::path& file) {
    return exportFailure(engine, engine.openSync(file).id);
}

// Runs `read` on a thread of its own, and says whether it returned within a second. A read that
// waits for a writer of the FIFO is let go (a writer comes and goes) until it returns.
bool returnsAtOnce(const fs::path& fifo, const std::function<void()>& read) {
    std::packaged_task<void()> task(read);
    std::future<void> returned = task.get_future();
    std::jthread reader(std::move(task));
    const bool atOnce = returned.wait_for(std::chrono::seconds(1)) == std::future_status::ready;
    while (returned.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        close(open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    }
    return atOnce;
}

// A FIFO with a RAW name holds no photo, and opening it for reading waits for a writer: every
// path that reads a photo file refuses it at once, or reads the version it opened before.
TEST(RAWFileRefusal, AFIFOWithARAWNameIsRefusedAtOnceByEveryReader) {
    testing::TemporaryFolder folder;
    const fs::path fifo = folder.path() / "photo.dng", waiting = folder.path() / "waiting";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto device = std::make_shared<Device>();
    GPURenderEngine engine(device);
    // An opened photo whose file was replaced by a FIFO.
    fixtures::writeSyntheticDNG(fifo.parent_path() / "a.dng", {});
    const PhotoID replaced = engine.openSync(folder.path() / "a.dng").id;
    ASSERT_EQ(mkfifo(waiting.c_str(), 0600), 0);
    fs::rename(waiting, folder.path() / "a.dng");

    const std::string refused = "Cannot decode photo.dng as a supported photo.",
                      notAFile = "photo.dng is not a regular file.";
    const auto answer = [](bool some) { return std::string(some ? "some" : "none"); };
    const std::tuple<const char*, std::function<std::string()>, std::string> readers[] = {
        {"open", [&] { return failureOf([&] { engine.openSync(fifo); }); }, refused},
        {"thumbnail", [&] { return answer(photoThumbnail(fifo).has_value()); }, "none"},
        {"RAW thumbnail", [&] { return answer(linearRAWThumbnail(fifo, 180) != nullptr); }, "none"},
        {"RAW file", [&] { return failureOf([&] { RAWFile read(fifo); }); },
         "The file is not a RAW photo the RAW filter can develop. " + notAFile},
        {"LibRaw fallback", [&] { return failureOf([&] { LibRawFallback::decode(fifo); }); },
         notAFile},
        {"metadata", [&] { return answer(*readPhotoFileMetadata(fifo) != PhotoFileMetadata{}); },
         "none"},
        {"edit record", [&] { return answer(EmbeddedMetadata::read(fifo).has_value()); }, "none"},
        // Developed from the version the photo's reader opened, which it keeps.
        {"JPEG export", [&] { return exportFailure(engine, replaced); }, ""},
        {"DNG export", [&] { return exportFailure(engine, replaced, ExportFormat::dng); },
         "Cannot decode a.dng as a supported photo."},
    };
    for (const auto& [reader, read, expected] : readers) {
        std::string outcome;
        EXPECT_TRUE(returnsAtOnce(fifo, [&] { outcome = read(); })) << reader;
        EXPECT_EQ(outcome, expected) << reader;
    }
}

// An opened photo whose file is replaced by one that LibRaw cannot read safely is exported as the
// version opened, which its reader keeps; the engine goes on exporting the other photos, and a
// photo opened after the file was replaced is refused.
TEST(RAWFileRefusal, AReplacedFileExportsAsOpenedAndTheOtherPhotosGoOn) {
    testing::TemporaryFolder folder;
    const fs::path replaced = folder.path() / "a.dng", other = folder.path() / "b.dng",
                   hostile = folder.path() / "cut.dng";
    fixtures::writeSyntheticDNG(replaced, {});
    fixtures::writeSyntheticDNG(other, {});
    std::ofstream(hostile, std::ios::binary) << fixtures::tiffDirectoryPastTheEnd();
    GPURenderEngine engine(std::make_shared<Device>());
    engine.openSync(replaced);
    fs::rename(hostile, replaced);
    EXPECT_EQ(exportFailure(engine, replaced), "");
    EXPECT_EQ(exportFailure(engine, other), "");
    GPURenderEngine another(std::make_shared<Device>());
    EXPECT_EQ(failureOf([&] { another.openSync(replaced); }),
              "Cannot decode a.dng as a supported photo.");
}

}  // namespace
}  // namespace quillmere
