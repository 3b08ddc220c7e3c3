#include "core/edit/file_checkpoint_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <string>

#include "core/common/file_io.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {

void PrintTo(const CheckpointStoreError& error, std::ostream* stream) { *stream << error.what(); }

namespace {

namespace fs = std::filesystem;
using namespace std::chrono;
using List = std::vector<EditCheckpoint>;

EditCheckpoint checkpoint(const std::string& name, int secondsIn) {
    EditParams params;
    params.exposure = secondsIn / 10.0;
    return {UUID::random(), name, Date{sys_days{2024y / 3 / 5} + seconds{secondsIn}}, params};
}

json::Json listJson(const List& checkpoints) {
    json::Json list = json::Json::array();
    for (const auto& each : checkpoints) list.push_back(each.encode());
    return list;
}

json::Json document(const List& checkpoints) {
    return {{"version", 1}, {"sourceFile", "IMG_0001.CR3"}, {"checkpoints", listJson(checkpoints)}};
}

class FileCheckpointStoreTest : public ::testing::Test {
  protected:
    FileCheckpointStoreTest() {
        fs::create_directories(folder_ / "app");
        write(photo_, "raw");
    }
    static void write(const fs::path& file, const std::string& text) {
        file_io::writeFileAtomically(file, text);
    }
    static std::string contents(const fs::path& file) {
        return file_io::readFile(file).value_or("");
    }
    static json::Json jsonIn(const fs::path& file) { return json::parse(contents(file)); }

    const testing::TemporaryFolder temporary_;
    // With symbolic links resolved, as the store resolves the photo's path.
    const fs::path folder_ = fs::canonical(temporary_.path());
    const fs::path photo_ = folder_ / "IMG_0001.CR3";
    const fs::path sidecar_ = folder_ / "IMG_0001.CR3.quillmere.json";
    const fs::path previousSidecar_ = folder_ / "IMG_0001.CR3.starlingmoor.json";
    const fs::path legacy_ = folder_ / "app" / "Checkpoints.json";
    FileCheckpointStore store_{legacy_};
};

TEST_F(FileCheckpointStoreTest, SavesBesideTheStandardizedPathReplacingByIdInDateOrder) {
    EXPECT_EQ(FileCheckpointStore::sidecarURL("/photos/./2024/../IMG_0001.CR3"),
              fs::path("/photos/IMG_0001.CR3.quillmere.json"));
    EXPECT_TRUE(store_.checkpoints(photo_).empty());

    const EditCheckpoint a = checkpoint("A", 10), b = checkpoint("B", 20), c = checkpoint("C", 30);
    store_.save(c, folder_ / "." / "IMG_0001.CR3");
    for (const auto& each : {a, b}) store_.save(each, photo_);
    EXPECT_EQ(jsonIn(sidecar_), document({a, b, c}));

    const EditCheckpoint renamed{b.id, "  Renamed  ", c.createdAt + 10s, c.params};
    store_.save(renamed, photo_);
    EXPECT_EQ(store_.checkpoints(photo_), (List{a, c, renamed}));
}

TEST_F(FileCheckpointStoreTest, DeletingMatchesOnIdAloneAndAFailureKeepsTheOldSidecar) {
    const EditCheckpoint a = checkpoint("A", 10), b = checkpoint("B", 20);
    store_.save(a, photo_);
    store_.save(b, photo_);
    const std::string before = contents(sidecar_);
    EXPECT_THROW(store_.deleteCheckpoint(checkpoint("Ghost", 5), photo_), CheckpointStoreError);
    EditCheckpoint notANumber = checkpoint("NaN", 2);
    notANumber.params.exposure = std::nan("");
    EXPECT_THROW(store_.save(notANumber, photo_), CheckpointStoreError);
    EXPECT_EQ(contents(sidecar_), before);
    store_.deleteCheckpoint({a.id, "Other", Date{}, EditParams{}}, photo_);
    store_.deleteCheckpoint(b, photo_);
    EXPECT_EQ(jsonIn(sidecar_), document({}));
}

// Checkpoints made within one second keep the order they were made in: listing sorts stably and
// rewrites nothing, and a new checkpoint goes after the others of its second.
TEST_F(FileCheckpointStoreTest, EqualDatesKeepTheOrderTheyWereMadeIn) {
    const EditCheckpoint x = checkpoint("X", 20), y = checkpoint("Y", 20), z = checkpoint("Z", 10);
    write(sidecar_, document({x, y, z}).dump());
    const std::string before = contents(sidecar_);
    EXPECT_EQ(store_.checkpoints(photo_), (List{z, x, y}));
    EXPECT_EQ(contents(sidecar_), before);
    const EditCheckpoint later = checkpoint("Later", 20);
    store_.save(later, photo_);
    EXPECT_EQ(jsonIn(sidecar_), document({z, x, y, later}));
}

// Each failure names the file it could not read or write, or the checkpoint it could not find,
// followed by the reason.
TEST_F(FileCheckpointStoreTest, FailuresNameTheirFileOrCheckpoint) {
    const std::string wrongFormat =
        "The data couldn’t be read because it isn’t in the correct format.";
    json::Json withoutSource = document({checkpoint("A", 1)});
    withoutSource.erase("sourceFile");
    EditCheckpoint notANumber = checkpoint("NaN", 2);
    notANumber.params.exposure = std::nan("");
    const auto list = [&] { store_.checkpoints(photo_); };
    const struct {
        fs::path file;
        std::string text;
        std::function<void()> operation;
        CheckpointStoreError expected;
    } cases[] = {
        {sidecar_, "{ not json", list,
         CheckpointStoreError::ioFailure("could not read IMG_0001.CR3.quillmere.json: " +
                                         wrongFormat)},
        {sidecar_, withoutSource.dump(), list,
         CheckpointStoreError::ioFailure("could not read IMG_0001.CR3.quillmere.json: The data "
                                         "couldn’t be read because it is missing.")},
        {previousSidecar_, "[]", list,
         CheckpointStoreError::ioFailure("could not read IMG_0001.CR3.starlingmoor.json: " +
                                         wrongFormat)},
        {legacy_, R"({"/elsewhere/other.NEF": 1})", list,
         CheckpointStoreError::ioFailure("could not read legacy checkpoints: " + wrongFormat)},
        {sidecar_, document({}).dump(),
         [&] { store_.deleteCheckpoint(checkpoint("Ghost", 5), photo_); },
         CheckpointStoreError::ioFailure("checkpoint not found: Ghost")},
        {sidecar_, document({}).dump(), [&] { store_.save(notANumber, photo_); },
         CheckpointStoreError::ioFailure("could not write IMG_0001.CR3.quillmere.json: The data "
                                         "couldn’t be written because it isn’t in the correct "
                                         "format.")},
        {sidecar_, "{ not json", [&] { store_.save(checkpoint(" \n\t", 3), photo_); },
         CheckpointStoreError::invalidName()},
    };
    for (const auto& c : cases) {
        for (const fs::path& file : {sidecar_, previousSidecar_, legacy_}) fs::remove(file);
        write(c.file, c.text);
        try {
            c.operation();
            ADD_FAILURE() << "no error for " << c.expected.what();
        } catch (const CheckpointStoreError& error) {
            EXPECT_EQ(error, c.expected);
        }
        EXPECT_EQ(contents(c.file), c.text) << c.expected.what();
    }
}

TEST_F(FileCheckpointStoreTest, OlderRecordsAreReadButNeverChanged) {
    const EditCheckpoint a = checkpoint("A", 10), b = checkpoint("B", 20), c = checkpoint("C", 30);
    // The previous product's sidecar counts only while the current one is missing.
    write(previousSidecar_, document({b, a}).dump());
    const std::string previousText = contents(previousSidecar_);
    EXPECT_EQ(store_.checkpoints(photo_), (List{a, b}));
    store_.save(c, photo_);
    EXPECT_EQ(jsonIn(sidecar_), document({a, b, c}));
    EXPECT_EQ(contents(previousSidecar_), previousText);
    // Once the current sidecar exists, it alone is read.
    EXPECT_EQ(store_.checkpoints(photo_), (List{a, b, c}));
    fs::remove(sidecar_);
    fs::remove(previousSidecar_);

    // The central file's entry moves into the sidecar once.
    write(legacy_, json::Json{{photo_.string(), listJson({b, a})},
                              {"/elsewhere/other.NEF", listJson({checkpoint("X", 1)})}}
                       .dump());
    const std::string legacyText = contents(legacy_);
    EXPECT_EQ(store_.checkpoints(photo_), (List{a, b}));
    EXPECT_EQ(jsonIn(sidecar_), document({a, b}));
    EXPECT_EQ(contents(legacy_), legacyText);
    write(legacy_, "{}");
    EXPECT_EQ(store_.checkpoints(photo_), (List{a, b}));
}

TEST_F(FileCheckpointStoreTest, UnreadableSidecarFailsEveryOperationWithoutFallingBack) {
    write(legacy_, json::Json{{photo_.string(), listJson({checkpoint("A", 1)})}}.dump());
    json::Json fractionalDate = document({checkpoint("A", 1)});
    fractionalDate["checkpoints"][0]["createdAt"] = "2024-03-05T00:00:01.500Z";
    std::vector<std::string> damaged{"{ not json", fractionalDate.dump()};
    // A checkpoint lacking any of its keys is damaged too.
    for (const char* key : {"id", "name", "createdAt", "params"}) {
        json::Json incomplete = document({checkpoint("A", 1)});
        incomplete["checkpoints"][0].erase(key);
        damaged.push_back(incomplete.dump());
    }
    for (const std::string& text : damaged) {
        write(sidecar_, text);
        EXPECT_THROW(store_.checkpoints(photo_), CheckpointStoreError);
        EXPECT_THROW(store_.save(checkpoint("B", 2), photo_), CheckpointStoreError);
        EXPECT_THROW(store_.deleteCheckpoint(checkpoint("B", 2), photo_), CheckpointStoreError);
        EXPECT_EQ(contents(sidecar_), text);
    }
}

}  // namespace
}  // namespace quillmere
