#include "core/edit/file_preset_store.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <system_error>
#include <utility>

#include "core/common/file_io.h"
#include "core/common/json_coding.h"
#include "core/edit/application_storage.h"
#include "core/edit/localized_order.h"

namespace quillmere {
namespace fs = std::filesystem;

namespace {

// A preset is a few kilobytes; anything far larger is not one and is not read into memory.
constexpr std::uintmax_t kMaximumPresetFileBytes = std::uintmax_t{4} << 20;

bool isValidComponent(const std::string& name) {
    // The system cuts a path at a NUL, which could make a name point at another preset's file.
    return !name.empty() && name.front() != '.' && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool isValidFolder(const std::string& folder) { return folder.empty() || isValidComponent(folder); }

bool isHidden(const fs::path& path) { return path.filename().string().starts_with('.'); }

// The visible entries of `folder`; a folder that cannot be listed has none.
std::vector<fs::directory_entry> visibleEntries(const fs::path& folder) {
    std::vector<fs::directory_entry> entries;
    std::error_code error;
    fs::directory_iterator iterator(folder, error);
    for (; !error && iterator != fs::directory_iterator(); iterator.increment(error)) {
        if (!isHidden(iterator->path())) entries.push_back(*iterator);
    }
    return entries;
}

bool hasJsonExtension(const fs::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".json";
}

// The preset stored in `file`, or nothing when it is not a readable, valid preset file.
std::optional<Preset> readPreset(const fs::path& file, const std::string& folder) {
    if (!hasJsonExtension(file)) return std::nullopt;
    const auto text = file_io::readFile(file, kMaximumPresetFileBytes);
    if (!text) return std::nullopt;
    try {
        return Preset{.name = file.stem().string(),
                      .folder = folder,
                      .values = PresetValues::decode(json::parse(*text))};
    } catch (const DecodingError&) {
        return std::nullopt;
    }
}

std::vector<Preset> readPresets(const fs::path& folder, const std::string& folderName) {
    std::vector<Preset> presets;
    for (const auto& entry : visibleEntries(folder)) {
        if (auto preset = readPreset(entry.path(), folderName)) {
            presets.push_back(std::move(*preset));
        }
    }
    return presets;
}

// The file of the preset `name` in `folder`: "name.json", or else the file the listing shows as
// that preset, whose extension differs only in letter case ("Warm.JSON"). Saving over it and
// deleting it must reach that file rather than make or miss a second one.
fs::path presetFile(const fs::path& folder, const std::string& name) {
    fs::path exact = folder / (name + ".json");
    std::error_code error;
    if (fs::exists(fs::symlink_status(exact, error))) return exact;
    for (const auto& entry : visibleEntries(folder)) {
        if (entry.path().stem() == name && hasJsonExtension(entry.path())) return entry.path();
    }
    return exact;
}

std::string_view folderName(const PresetFolder& folder) { return folder.name; }
std::string_view presetName(const Preset& preset) { return preset.name; }

}  // namespace

FilePresetStore::FilePresetStore(std::optional<fs::path> directory,
                                 std::vector<PresetFolder> builtIns)
    : directory_(directory ? std::move(*directory) : ApplicationStorage::directory() / "Presets"),
      builtIns_(std::move(builtIns)) {
    for (const PresetFolder& folder : builtIns_) builtInNames_.insert(folder.name);
}

std::vector<PresetFolder> FilePresetStore::folders() {
    const LocalizedCaseInsensitiveOrder order;
    std::vector<PresetFolder> result = builtIns_;
    order.sortStably(result, folderName);

    std::vector<PresetFolder> userFolders;
    std::vector<Preset> topLevelPresets;
    for (const auto& entry : visibleEntries(directory_)) {
        std::error_code error;
        if (entry.is_directory(error) && !error) {
            const std::string name = entry.path().filename().string();
            if (builtInNames_.contains(name)) continue;
            auto presets = readPresets(entry.path(), name);
            if (!presets.empty()) {
                userFolders.push_back(
                    {.name = name, .isBuiltIn = false, .presets = std::move(presets)});
            }
        } else if (auto preset = readPreset(entry.path(), "")) {
            topLevelPresets.push_back(std::move(*preset));
        }
    }
    order.sortStably(userFolders, folderName);
    result.insert(result.end(), std::make_move_iterator(userFolders.begin()),
                  std::make_move_iterator(userFolders.end()));
    if (!topLevelPresets.empty()) {
        order.sortStably(topLevelPresets, presetName);
        result.push_back({.name = "", .isBuiltIn = false, .presets = std::move(topLevelPresets)});
    }
    return result;
}

void FilePresetStore::save(const Preset& preset) {
    requireWritable(preset);
    const fs::path folder = folderPath(preset.folder);
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) throw PresetStoreError::ioFailure("could not create folder: " + error.message());
    try {
        file_io::writeFileAtomically(presetFile(folder, preset.name),
                                     json::dumpPretty(preset.values.encode()));
    } catch (const EncodingError& encodingError) {
        throw PresetStoreError::ioFailure(std::string("could not write preset: ") +
                                          encodingError.what());
    } catch (const std::system_error& writeError) {
        throw PresetStoreError::ioFailure("could not write preset: " + writeError.code().message());
    }
}

void FilePresetStore::deletePreset(const Preset& preset) {
    requireWritable(preset);
    const fs::path file = presetFile(folderPath(preset.folder), preset.name);
    // unlink removes files and links only; a directory standing at the path is refused rather
    // than removed with everything in it.
    if (::unlink(file.c_str()) == 0) return;
    const int failure = errno;
    if (failure == ENOENT || failure == ENOTDIR) {
        throw PresetStoreError::ioFailure("preset not found: " + preset.id());
    }
    throw PresetStoreError::ioFailure("could not delete preset: " +
                                      std::generic_category().message(failure));
}

void FilePresetStore::requireWritable(const Preset& preset) const {
    if (builtInNames_.contains(preset.folder)) throw PresetStoreError::builtInIsReadOnly();
    if (!isValidComponent(preset.name) || !isValidFolder(preset.folder)) {
        throw PresetStoreError::invalidName();
    }
}

fs::path FilePresetStore::folderPath(const std::string& folder) const {
    return folder.empty() ? directory_ : directory_ / folder;
}

}  // namespace quillmere
