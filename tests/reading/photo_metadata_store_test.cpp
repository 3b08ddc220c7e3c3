// The program's store of what the reader read of photo files' metadata: one read for every user of
// a file version, within the store's memory budget, and nothing kept of metadata left out.

#include "core/reading/photo_file_metadata.h"

#include <gtest/gtest.h>

#include "core/common/file_io.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/reading/photo_reader.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/reading/reading_test_support.h"

namespace quillmere {
namespace {

using testing::kRoomy;

class PhotoMetadataStoreTest : public testing::ReadingTest {
  protected:
    // A JPEG of the camera `model`, written at `name`.
    std::shared_ptr<const OpenedFile> camera(const std::string& name, const std::string& model) {
        const std::filesystem::path file = folder.path() / name;
        file_io::writeFileAtomically(
            file, fixtures::withExif(encodeJpeg(fixtures::makePattern({}), 0.9),
                                     {.make = "Quillmere", .model = model}));
        return OpenedFile::open(file);
    }
    PhotoMetadataStore storeOf(PhotoReader& reader, std::size_t budget) {
        return PhotoMetadataStore([&reader]() -> PhotoReader& { return reader; }, budget);
    }

    PhotoReader reader{PhotoReader::locate(), kRoomy};
};

TEST_F(PhotoMetadataStoreTest, EveryUserOfAVersionSharesOneReadAndANewVersionIsReadAgain) {
    PhotoMetadataStore store = storeOf(reader, PhotoMetadataStore::kMemoryBudget);
    const auto first = camera("a.jpg", "First");
    const auto answer = store.read(*first);
    EXPECT_EQ(answer->properties.model, "First");
    EXPECT_EQ(store.read(*first), answer);
    EXPECT_EQ(store.read(*OpenedFile::open(first->path())), answer);
    EXPECT_EQ(reader.readersStarted(), 1u);

    const auto rewritten = camera("a.jpg", "Second");
    EXPECT_EQ(store.read(*rewritten)->properties.model, "Second");
    EXPECT_EQ(reader.readersStarted(), 2u);
}

// The least recently used answer goes first, when a new one would pass the budget; an answer
// larger than the whole budget is never kept.
TEST_F(PhotoMetadataStoreTest, AnswersAreKeptWithinTheBudgetTheLeastRecentlyUsedGoingFirst) {
    const auto a = camera("a.jpg", "A"), b = camera("b.jpg", "B"), c = camera("c.jpg", "C");
    const std::size_t one = storeOf(reader, PhotoMetadataStore::kMemoryBudget).read(*a)->memoryBytes();
    PhotoMetadataStore store = storeOf(reader, 2 * one + one / 2);
    store.read(*a);
    store.read(*b);
    store.read(*a);
    store.read(*c);  // b goes
    EXPECT_EQ(store.keptAnswers(), 2u);
    EXPECT_EQ(store.keptBytes(), 2 * one);
    const std::size_t started = reader.readersStarted();
    store.read(*a);
    store.read(*c);
    EXPECT_EQ(reader.readersStarted(), started);
    store.read(*b);
    EXPECT_EQ(reader.readersStarted(), started + 1);

    PhotoMetadataStore tiny = storeOf(reader, one - 1);
    EXPECT_EQ(tiny.read(*a)->properties.model, "A");
    EXPECT_EQ(tiny.keptAnswers(), 0u);
}

// A reader that gives no answer of the metadata job (here, a stand-in's) leaves the metadata out,
// which the store does not keep: the reader keeps its verdict when it is the file's. A file that
// cannot be opened has none either.
TEST_F(PhotoMetadataStoreTest, MetadataLeftOutIsEmptyAndNotKept) {
    PhotoReader standIn(testing::kStandIn, kRoomy);
    PhotoMetadataStore store = storeOf(standIn, PhotoMetadataStore::kMemoryBudget);
    const auto file = camera("a.jpg", "A");
    EXPECT_EQ(*store.read(*file), PhotoFileMetadata{});
    EXPECT_EQ(*store.read(*file), PhotoFileMetadata{});
    EXPECT_EQ(store.keptAnswers(), 0u);
    EXPECT_EQ(*readPhotoFileMetadata(folder.path() / "missing.jpg"), PhotoFileMetadata{});
}

}  // namespace
}  // namespace quillmere
