#include "core/edit/application_storage.h"

#include <pwd.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

#include "core/common/file_io.h"
#include "core/common/uuid.h"

namespace quillmere::ApplicationStorage {
namespace fs = std::filesystem;

namespace {

constexpr const char* kCurrentFolderName = "Quillmere";
constexpr const char* kPreviousFolderName = "Starlingmoor";

// The home folder from $HOME, else from the password database, else nothing usable.
fs::path homeDirectory(const EnvironmentLookup& environment) {
    if (auto home = environment("HOME"); home && !home->empty()) return *home;
    long bufferSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    if (bufferSize <= 0) bufferSize = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(bufferSize));
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}

bool itemExists(const fs::path& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

// Copies the old folder into a staging folder of its own and moves that into place in one step,
// so a half-finished copy never becomes the current folder.
bool migrate(const fs::path& previous, const fs::path& base, const fs::path& current) {
    fs::path staging;
    try {
        staging = base / (".quillmere-migration-" + UUID::random().uuidString());
    } catch (const std::runtime_error&) {
        return false;  // no random source, so no staging name of our own
    }
    std::error_code error;
    // Links are copied as links: following them could leave the old folder or loop forever.
    fs::copy(previous, staging, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
             error);
    bool moved = false;
    if (!error) {
        try {
            moved = file_io::renameNoReplace(staging, current);
        } catch (const std::system_error&) {
            moved = false;
        }
    }
    if (!moved) fs::remove_all(staging, error);
    return moved;
}

}  // namespace

fs::path userDataDirectory(const EnvironmentLookup& environment) {
    // Relative values are invalid by the XDG rules and are ignored.
    if (auto dataHome = environment("XDG_DATA_HOME");
        dataHome && fs::path(*dataHome).is_absolute()) {
        return *dataHome;
    }
    return homeDirectory(environment) / ".local" / "share";
}

fs::path directory(const std::optional<fs::path>& base) {
    const fs::path root = base ? *base : userDataDirectory();
    const fs::path current = root / kCurrentFolderName;
    const fs::path previous = root / kPreviousFolderName;
    if (itemExists(current) || !itemExists(previous)) return current;
    // Another process may have finished the same migration first; its folder is as good.
    if (migrate(previous, root, current) || itemExists(current)) return current;
    return previous;
}

}  // namespace quillmere::ApplicationStorage
