#include "core/edit/file_preset_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/common/file_io.h"
#include "core/edit/built_in_presets.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

class FilePresetStoreTest : public ::testing::Test {
  protected:
    fs::path presets() const { return root_.path() / "Presets"; }
    void write(const fs::path& relative, const std::string& text) const {
        fs::create_directories((presets() / relative).parent_path());
        file_io::writeFileAtomically(presets() / relative, text);
    }
    // The built-in folders first, in name order, then the user's presets by folder and name.
    std::vector<std::string> listing() {
        std::vector<std::string> ids;
        for (const PresetFolder& folder : store_.folders()) {
            if (folder.isBuiltIn) ids.push_back(folder.id());
            for (const Preset& preset : folder.presets) {
                if (!folder.isBuiltIn) ids.push_back(preset.id());
            }
        }
        return ids;
    }

    const testing::TemporaryFolder root_;
    FilePresetStore store_{presets(), BuiltInPresets::folders()};
    const std::vector<std::string> builtIn_{"builtin/Black & White", "builtin/Essentials",
                                            "builtin/Film", "builtin/Rescue"};
    const PresetValues warm_{.temperatureScale = 1.1, .tintShift = 4};
};

TEST_F(FilePresetStoreTest, ListsVisibleJsonFilesThatDecodeAfterTheBuiltInFoldersByFolderAndName) {
    fs::create_directories(presets() / "Empty");
    EXPECT_EQ(listing(), builtIn_);

    store_.save({.name = "Warm", .folder = "", .values = warm_});
    store_.save({.name = "Pop", .folder = "beta", .values = {.vibrance = 30}});
    store_.save({.name = "One", .folder = "Alpha", .values = {.exposure = 1}});
    write("Cool.JSON", R"({"tintShift": 2})");
    for (const char* skipped : {"Warm.json.bak", "notes.txt", ".hidden.json", "Looks/Deep/a.json",
                                ".Hidden/inside.json"}) {
        write(skipped, "{}");
    }
    write("Looks/broken.json", "{ not json");
    write("Looks/typed.json", R"({"exposure": "bright"})");
    write("Looks/list.json", "[]");
    write("Looks/kept.json", "{}");
    write("Unreadable/bad.json", "{");
    std::vector<std::string> expected = builtIn_;
    expected.insert(expected.end(), {"Alpha/One", "beta/Pop", "Looks/kept", "/Cool", "/Warm"});
    EXPECT_EQ(listing(), expected);
    EXPECT_EQ(store_.folders().back().presets,
              (std::vector<Preset>{{"Cool", "", {.tintShift = 2}}, {"Warm", "", warm_}}));
}

// A user folder named exactly like a built-in one is hidden with all it holds (and cannot be
// written); in another letter case it is the user's own. User folders and top-level presets are
// ordered by name as a reader expects: letter case aside, accents after the plain letter.
TEST_F(FilePresetStoreTest, BuiltInNamesAreReservedExactlyAndNamesSortAsReadersExpect) {
    for (const char* file :
         {"Zebra.json", "Film/mine.json", "eclair.json", "Grain/Soft.json", "apple.json",
          "Éclair.json", "film/mine.json", "Cherry.json", "banana.json"}) {
        write(file, "{}");
    }
    std::vector<std::string> expected = builtIn_;
    expected.insert(expected.end(), {"film/mine", "Grain/Soft", "/apple", "/banana", "/Cherry",
                                     "/eclair", "/Éclair", "/Zebra"});
    EXPECT_EQ(listing(), expected);

    const auto refusal = [&](bool saving, const Preset& preset) {
        try {
            saving ? store_.save(preset) : store_.deletePreset(preset);
        } catch (const PresetStoreError& error) {
            return error.code();
        }
        return PresetStoreError::Code::noSelection;  // which the store never raises
    };
    const auto readOnly = PresetStoreError::Code::builtInIsReadOnly;
    EXPECT_EQ(refusal(true, {"Mine", "Film", {}}), readOnly);
    EXPECT_EQ(refusal(false, {"Punch", "Essentials", {}}), readOnly);
    EXPECT_EQ(refusal(true, {"", "Black & White", {}}), readOnly);  // before the name test
    store_.save({"Other", "film", {}});
    EXPECT_TRUE(fs::exists(presets() / "film" / "Other.json"));
}

TEST_F(FilePresetStoreTest, SavingReplacesTheListedFileEvenWithAnUpperCaseExtension) {
    write("Looks/Warm.JSON", R"({"tintShift": 2})");
    store_.save({"Warm", "Looks", warm_});
    store_.save({"Warm", "Looks", {.tint = 3}});
    EXPECT_EQ(store_.folders().back().presets,
              (std::vector<Preset>{{"Warm", "Looks", {.tint = 3}}}));
    EXPECT_EQ(std::distance(fs::directory_iterator(presets() / "Looks"), {}), 1);
    store_.deletePreset({"Warm", "Looks", {}});
    EXPECT_TRUE(fs::is_empty(presets() / "Looks"));
}

TEST_F(FilePresetStoreTest, InvalidNamesAreRefusedBeforeTouchingTheDisk) {
    const std::vector<Preset> invalid{
        {"", "", {}},
        {".hidden", "", {}},
        {"a/b", "", {}},
        {"../escape", "", {}},
        {"ok", "..", {}},
        {"ok", "a/b", {}},
        {std::string("Warm\0x", 6), "", {}},
    };
    for (const Preset& preset : invalid) {
        EXPECT_THROW(store_.save(preset), PresetStoreError) << preset.id();
        EXPECT_THROW(store_.deletePreset(preset), PresetStoreError) << preset.id();
    }
    EXPECT_FALSE(fs::exists(presets()));
}

}  // namespace
}  // namespace quillmere
