#include "core/edit/file_preset_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/common/file_io.h"
#include "core/edit/built_in_presets.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

std::vector<std::string> folderNames(const std::vector<PresetFolder>& folders) {
    std::vector<std::string> names;
    for (const PresetFolder& folder : folders) names.push_back(folder.name);
    return names;
}

std::vector<std::string> presetNames(const PresetFolder& folder) {
    std::vector<std::string> names;
    for (const Preset& preset : folder.presets) names.push_back(preset.name);
    return names;
}

const std::vector<std::string> kBuiltInOrder{"Black & White", "Essentials", "Film", "Rescue"};

// The error a store operation throws; `noSelection`, which the store never raises, when none.
template <class Operation>
PresetStoreError storeErrorOf(Operation operation) {
    try {
        operation();
    } catch (const PresetStoreError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a PresetStoreError";
    return PresetStoreError::noSelection();
}

PresetStoreError saveError(FilePresetStore& store, const Preset& preset) {
    return storeErrorOf([&] { store.save(preset); });
}

PresetStoreError deleteError(FilePresetStore& store, const Preset& preset) {
    return storeErrorOf([&] { store.deletePreset(preset); });
}

class FilePresetStoreTest : public ::testing::Test {
  protected:
    fs::path presets() const { return root_.path() / "Presets"; }
    void write(const fs::path& relative, const std::string& text) const {
        fs::create_directories((presets() / relative).parent_path());
        file_io::writeFileAtomically(presets() / relative, text);
    }

    TemporaryFolder root_;
    FilePresetStore store_{presets(), BuiltInPresets::folders()};
    const PresetValues warm_{.temperatureScale = 1.1, .tintShift = 4};
};

TEST_F(FilePresetStoreTest, WithoutUserPresetsOnlyTheBuiltInFoldersAreListedInNameOrder) {
    EXPECT_EQ(folderNames(store_.folders()), kBuiltInOrder);
    fs::create_directories(presets() / "Empty");
    const auto folders = store_.folders();
    EXPECT_EQ(folderNames(folders), kBuiltInOrder);
    for (const PresetFolder& folder : folders) EXPECT_TRUE(folder.isBuiltIn);
    // Built-in presets keep their own order.
    EXPECT_EQ(presetNames(folders[1]),
              (std::vector<std::string>{"Punch", "Crisp", "Soft Light", "Matte"}));
}

TEST_F(FilePresetStoreTest, SavedPresetsAreListedByFolderThenDeleted) {
    store_.save({.name = "Warm", .folder = "", .values = warm_});
    store_.save({.name = "Cool", .folder = "", .values = {.temperatureScale = 0.9}});
    store_.save({.name = "Pop", .folder = "beta", .values = {.vibrance = 30}});
    store_.save({.name = "One", .folder = "Alpha", .values = {.exposure = 1}});
    store_.save({.name = "Two", .folder = "gamma", .values = {.exposure = 2}});

    auto folders = store_.folders();
    std::vector<std::string> expected = kBuiltInOrder;
    expected.insert(expected.end(), {"Alpha", "beta", "gamma", ""});
    ASSERT_EQ(folderNames(folders), expected);
    EXPECT_EQ(folders[5].presets, (std::vector<Preset>{{"Pop", "beta", {.vibrance = 30}}}));
    EXPECT_FALSE(folders[5].isBuiltIn);
    EXPECT_EQ(folders[5].id(), "user/beta");
    EXPECT_EQ(folders[7].id(), "user/");
    EXPECT_EQ(presetNames(folders[7]), (std::vector<std::string>{"Cool", "Warm"}));
    EXPECT_EQ(folders[7].presets[1], (Preset{"Warm", "", warm_}));
    EXPECT_EQ(folders[7].presets[1].id(), "/Warm");

    store_.deletePreset({.name = "Pop", .folder = "beta", .values = {}});
    store_.deletePreset({.name = "Warm", .folder = "", .values = {}});
    folders = store_.folders();
    expected = kBuiltInOrder;
    expected.insert(expected.end(), {"Alpha", "gamma", ""});
    ASSERT_EQ(folderNames(folders), expected);
    EXPECT_EQ(presetNames(folders.back()), std::vector<std::string>{"Cool"});
    // The emptied folder stays on disk.
    EXPECT_TRUE(fs::is_directory(presets() / "beta"));
}

TEST_F(FilePresetStoreTest, FileHoldsOnlyThePrettyPrintedSortedValues) {
    store_.save({.name = "Warm", .folder = "Film looks", .values = warm_});
    EXPECT_EQ(file_io::readFile(presets() / "Film looks" / "Warm.json"),
              "{\n  \"temperatureScale\": 1.1,\n  \"tintShift\": 4.0\n}\n");
    // Saving again replaces the file without complaint.
    store_.save({.name = "Warm", .folder = "Film looks", .values = {.tint = 3}});
    EXPECT_EQ(file_io::readFile(presets() / "Film looks" / "Warm.json"), "{\n  \"tint\": 3.0\n}\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(presets() / "Film looks"), {}), 1);
}

TEST_F(FilePresetStoreTest, AFileWithAnUpperCaseExtensionIsTheListedPresetToSaveOverAndDelete) {
    write("Looks/Warm.JSON", R"({"tintShift": 2})");
    store_.save({"Warm", "Looks", warm_});
    EXPECT_EQ(store_.folders().back().presets, (std::vector<Preset>{{"Warm", "Looks", warm_}}));
    store_.deletePreset({"Warm", "Looks", {}});
    EXPECT_TRUE(fs::is_empty(presets() / "Looks"));
}

TEST_F(FilePresetStoreTest, ListingTakesOnlyVisibleJsonFilesThatDecode) {
    write("Warm.JSON", R"({"tintShift": 2})");
    write("Warm.json.bak", "{}");
    write("notes.txt", "{}");
    write(".hidden.json", "{}");
    write("broken.json", "{ not json");
    write("typed.json", R"({"exposure": "bright"})");
    write("detail.json", R"({"denoiseMethod": "Detail"})");
    write("list.json", "[]");
    write("Looks/Deep/nested.json", "{}");
    write("Looks/kept.json", "{}");
    write("Unreadable/bad.json", "{");
    write(".Hidden/inside.json", "{}");

    const auto folders = store_.folders();
    std::vector<std::string> expected = kBuiltInOrder;
    expected.insert(expected.end(), {"Looks", ""});
    ASSERT_EQ(folderNames(folders), expected);
    EXPECT_EQ(presetNames(folders[4]), std::vector<std::string>{"kept"});
    EXPECT_EQ(folders.back().presets, (std::vector<Preset>{{"Warm", "", {.tintShift = 2}}}));
}

TEST_F(FilePresetStoreTest, InvalidNamesAreRefusedBeforeTouchingTheDisk) {
    const std::vector<Preset> invalid{
        {"", "", {}},
        {".hidden", "", {}},
        {"a/b", "", {}},
        {"../escape", "", {}},
        {"ok", ".folder", {}},
        {"ok", "a/b", {}},
        {"ok", "..", {}},
        {std::string("Warm\0x", 6), "", {}},
        {"ok", std::string("Looks\0Film", 10), {}},
    };
    for (const Preset& preset : invalid) {
        EXPECT_EQ(saveError(store_, preset), PresetStoreError::invalidName()) << preset.id();
        EXPECT_EQ(deleteError(store_, preset), PresetStoreError::invalidName()) << preset.id();
    }
    EXPECT_FALSE(fs::exists(presets()));
    // White space and other characters are the caller's business.
    store_.save({" Warm ", "", {}});
    EXPECT_TRUE(fs::exists(presets() / " Warm .json"));
}

}  // namespace
}  // namespace quillmere
