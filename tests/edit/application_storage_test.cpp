#include "core/edit/application_storage.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "core/common/file_io.h"
#include "core/edit/distribution_policy.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

std::size_t entryCount(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), {}));
}

EnvironmentLookup environmentOf(std::map<std::string, std::string> variables) {
    return [variables](const char* name) -> std::optional<std::string> {
        auto found = variables.find(name);
        if (found == variables.end()) return std::nullopt;
        return found->second;
    };
}

TEST(ApplicationStorage, UserDataFolderFollowsXdgRules) {
    const auto folderFor = [](std::string dataHome) {
        return ApplicationStorage::userDataDirectory(
            environmentOf({{"XDG_DATA_HOME", dataHome}, {"HOME", "/home/ann"}}));
    };
    EXPECT_EQ(folderFor("/data/home"), fs::path("/data/home"));
    // A relative value is not a valid data home.
    EXPECT_EQ(folderFor("relative/data"), fs::path("/home/ann/.local/share"));
}

TEST(DistributionPolicy, TheExactStoreChannelOrTheSandboxVariableEvenEmptyMeansSandboxed) {
    EXPECT_TRUE(DistributionPolicy::isSandboxed("app-store", environmentOf({})));
    EXPECT_TRUE(
        DistributionPolicy::isSandboxed("", environmentOf({{"APP_SANDBOX_CONTAINER_ID", ""}})));
    for (const char* other : {"", "App-Store", "app-store "}) {
        EXPECT_FALSE(DistributionPolicy::isSandboxed(other, environmentOf({}))) << other;
    }
}

TEST(ApplicationStorage, PreviousFolderIsCopiedOnceAndKept) {
    TemporaryFolder base;
    fs::create_directories(base.path() / "Starlingmoor" / "Presets");
    file_io::writeFileAtomically(base.path() / "Starlingmoor" / "Presets" / "Warm.json", "{}");
    fs::create_symlink("Presets/Warm.json", base.path() / "Starlingmoor" / "link.json");

    EXPECT_EQ(ApplicationStorage::directory(base.path()), base.path() / "Quillmere");

    EXPECT_EQ(file_io::readFile(base.path() / "Quillmere" / "Presets" / "Warm.json"), "{}");
    EXPECT_EQ(file_io::readFile(base.path() / "Starlingmoor" / "Presets" / "Warm.json"), "{}");
    EXPECT_TRUE(fs::is_symlink(base.path() / "Quillmere" / "link.json"));
    EXPECT_EQ(entryCount(base.path()), 2u);  // no half-copied folder left behind

    // Later changes to the old folder are not copied again.
    file_io::writeFileAtomically(base.path() / "Starlingmoor" / "late.json", "{}");
    EXPECT_EQ(ApplicationStorage::directory(base.path()), base.path() / "Quillmere");
    EXPECT_FALSE(fs::exists(base.path() / "Quillmere" / "late.json"));
}

TEST(ApplicationStorage, FailedCopyKeepsWorkingOnThePreviousFolder) {
    TemporaryFolder base;
    fs::create_directories(base.path() / "Starlingmoor");
    file_io::writeFileAtomically(base.path() / "Starlingmoor" / "a.json", "{}");
    // A named pipe cannot be copied, whoever runs the test.
    ASSERT_EQ(::mkfifo((base.path() / "Starlingmoor" / "pipe").c_str(), 0600), 0);

    EXPECT_EQ(ApplicationStorage::directory(base.path()), base.path() / "Starlingmoor");
    EXPECT_EQ(entryCount(base.path()), 1u);

    // The next call tries again and succeeds once the obstacle is gone.
    fs::remove(base.path() / "Starlingmoor" / "pipe");
    EXPECT_EQ(ApplicationStorage::directory(base.path()), base.path() / "Quillmere");
    EXPECT_TRUE(fs::exists(base.path() / "Quillmere" / "a.json"));
}

}  // namespace
}  // namespace quillmere
