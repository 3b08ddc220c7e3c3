#include "app/state/photo_edit_store.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/state/file_error.h"
#include "app/state/standardized_path.h"
#include "core/common/file_io.h"
#include "core/common/json_coding.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

using testing::TemporaryFolder;

// An edit as the edit's own coding writes it, keys in declaration order.
std::string editJson(const EditParams& edit) { return json::dumpCompact(edit.encodeOrdered()); }

TEST(PhotoEditStore, NamesFilesByTheHashOfTheStandardisedPath) {
    EXPECT_EQ(standardizedPath("/photos//a/./b/../x.dng"), "/photos/a/x.dng");
    EXPECT_EQ(standardizedPath("x.dng"), std::filesystem::current_path() / "x.dng");
    const PhotoEditStore store(std::filesystem::path("/edits"));
    // SHA-256 digests computed independently of the program.
    EXPECT_EQ(store.location("/photos/a/./b/../x.dng"),
              "/edits/702f6fdf420acbb10c127c30c11ae2df22eb79662717b3ffac21d91ee2ee4ef6.json");
    EXPECT_EQ(store.location("/фото/Größe ü.dng").filename(),
              "9a8552678c9d795526f4ce0502a488e1245ef5c408184ef0243ebaf1070bc771.json");
}

TEST(PhotoEditStore, SavesCompactJsonInDeclarationOrderIntoNewFolders) {
    TemporaryFolder folder;
    const PhotoEditStore store(folder.path() / "deep" / "Edits");
    PhotoSessionState state;
    state.params.exposure = 0.5;
    state.xmpLoaded = true;
    state.presetID = "Film/Warm";
    store.save(state, "/photos/a/../a/x.dng");
    EXPECT_EQ(file_io::readFile(store.location("/photos/a/x.dng")),
              R"({"version":1,"source":"/photos/a/x.dng","params":)" + editJson(state.params) +
                  R"(,"baseline":)" + editJson({}) + R"(,"xmpLoaded":true})");

    // Read back without the marker, which only lives as long as the process.
    state.presetID.reset();
    EXPECT_EQ(store.savedState("/photos/a/x.dng"), state);

    std::ofstream(folder.path() / "file") << "not a folder";
    try {
        PhotoEditStore(folder.path() / "file" / "Edits").save(state, "/photos/x.dng");
        FAIL() << "saved below a file";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), "The folder “Edits” could not be created: Not a directory.");
    }
}

TEST(PhotoEditStore, ReadingIgnoresForeignFilesAndFailsOnDamagedOnes) {
    TemporaryFolder folder;
    const PhotoEditStore store(folder.path());
    const std::filesystem::path photo = "/photos/x.dng";
    EXPECT_EQ(store.savedState(photo), std::nullopt);
    const auto read = [&](const std::string& version, const std::string& source,
                          const std::string& tail) {
        std::ofstream(store.location(photo))
            << R"({"version":)" << version << R"(,"source":")" << source
            << R"(","params":{"exposure":2},"baseline":{})" << tail << "}";
        return store.savedState(photo);
    };
    // Another version, or the file of another photo, is quietly not this photo's edit.
    EXPECT_EQ(read("2", "/photos/x.dng", R"(,"xmpLoaded":false)"), std::nullopt);
    EXPECT_EQ(read("1", "/photos/y.dng", R"(,"xmpLoaded":false)"), std::nullopt);
    // Keys missing inside the edit take their defaults; a record key may not be missing.
    EXPECT_EQ(read("1", "/photos/x.dng", R"(,"xmpLoaded":true)")->params.exposure, 2);
    try {
        read("1", "/photos/x.dng", "");
        FAIL() << "a record without xmpLoaded was read";
    } catch (const FileError& error) {
        EXPECT_STREQ(error.what(), ("The saved edit of this photo could not be read from “" +
                                    store.location(photo).string() +
                                    "”: The data couldn’t be read because it is missing.")
                                       .c_str());
    }
}

}  // namespace
}  // namespace quillmere
