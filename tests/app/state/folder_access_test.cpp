#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

// A sandboxed run, as the environment variable marks it.
class FolderAccess : public ::testing::Test {
  protected:
    FolderAccess() {
        ::setenv("APP_SANDBOX_CONTAINER_ID", "", 1);
        for (const char* folder : {"photos/trip/day", "photos/other", "photos-extra"}) {
            std::filesystem::create_directories(harness.file(folder));
        }
    }
    ~FolderAccess() override { ::unsetenv("APP_SANDBOX_CONTAINER_ID"); }
    QStringList stored() {
        return harness.preferences->value(PhotoFolderAccess::bookmarkKey).toStringList();
    }

    testing::StateHarness harness;
};

TEST_F(FolderAccess, OneChoiceCoversTheFolderAndItsSubfoldersInEveryLaterRun) {
    harness.prompts->folders = {harness.file("photos/trip")};
    EXPECT_TRUE(
        harness.request({harness.file("photos/trip/a.dng"), harness.file("photos/trip/b.dng"),
                         harness.file("photos/trip/day/c.dng")}));
    ASSERT_EQ(harness.prompts->shown.size(), 1u);
    EXPECT_EQ(harness.prompts->shown[0].message.rfind("Choose the folder containing a.dng. ", 0),
              0u);
    EXPECT_EQ(harness.prompts->shown[0].startFolder, harness.file("photos/trip"));

    // The next run restores the folder; a link into it is judged by where it leads.
    std::filesystem::create_directory_symlink(harness.file("photos/trip"), harness.file("link"));
    PhotoFolderAccess nextRun(harness.preferences, harness.prompts);
    EXPECT_TRUE(
        nextRun.authorize({harness.file("photos/trip/day/d.dng"), harness.file("link/e.dng")}));
    EXPECT_EQ(harness.prompts->shown.size(), 1u);

    // A folder gone by the next run leaves the stored list; an empty request still restores.
    std::filesystem::remove_all(harness.file("photos/trip"));
    EXPECT_TRUE(PhotoFolderAccess(harness.preferences, harness.prompts).authorize({}));
    EXPECT_TRUE(stored().isEmpty());
}

TEST_F(FolderAccess, TheChosenFolderMustHoldThePhoto) {
    PhotoFolderAccess access(harness.preferences, harness.prompts);
    harness.prompts->folders = {harness.file("photos-extra"), harness.file("photos"), std::nullopt};
    EXPECT_THROW(access.authorize({harness.file("photos/trip/a.dng")}),
                 PhotoFolderAccess::AccessError);
    EXPECT_TRUE(access.authorize({harness.file("photos/trip/a.dng")}));
    EXPECT_EQ(stored(), QStringList{QString::fromStdString(harness.file("photos").string())});
    EXPECT_FALSE(access.authorize({harness.file("elsewhere/b.dng")}));

    harness.prompts->folders = {harness.file("photos/other")};
    EXPECT_FALSE(harness.request({harness.file("photos-extra/c.dng")}));
    EXPECT_EQ(harness.state->lastError(),
              "Choose the folder containing the selected photo, then open the photo again.");
    EXPECT_TRUE(harness.state->sessionPhotos().empty());
}

}  // namespace
}  // namespace quillmere
