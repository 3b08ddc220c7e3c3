#include "app/state/photo_folder_access.h"

#include <unistd.h>

#include <QStringList>
#include <algorithm>
#include <system_error>

#include "core/edit/distribution_policy.h"

namespace quillmere {
namespace {

std::filesystem::path resolved(const std::filesystem::path& path) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path.lexically_normal() : canonical;
}

// What stands in for starting access to a security-scoped folder: it must be there and readable.
bool canRead(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_directory(folder, error) &&
           ::access(folder.c_str(), R_OK | X_OK) == 0;
}

}  // namespace

PhotoFolderAccess::AccessError PhotoFolderAccess::AccessError::wrongFolder() {
    return AccessError(
        "Choose the folder containing the selected photo, then open the photo again.");
}

PhotoFolderAccess::PhotoFolderAccess(std::shared_ptr<Preferences> preferences,
                                     std::shared_ptr<UserPrompts> prompts)
    : preferences_(std::move(preferences)), prompts_(std::move(prompts)) {}

bool PhotoFolderAccess::contains(const std::filesystem::path& photoURL,
                                 const std::filesystem::path& folderURL) {
    const std::filesystem::path photo = resolved(photoURL);
    const std::filesystem::path folder = resolved(folderURL);
    const auto photoLength = std::distance(photo.begin(), photo.end());
    const auto folderLength = std::distance(folder.begin(), folder.end());
    return folderLength < photoLength && std::equal(folder.begin(), folder.end(), photo.begin());
}

void PhotoFolderAccess::restore() {
    if (restored_) return;
    restored_ = true;
    QStringList kept;
    for (const QString& stored : preferences_->value(bookmarkKey).toStringList()) {
        const std::filesystem::path folder = stored.toStdString();
        if (!canRead(folder)) continue;
        folders_.push_back(folder);
        kept.append(stored);
    }
    preferences_->setValue(bookmarkKey, kept);
}

bool PhotoFolderAccess::authorize(const std::vector<std::filesystem::path>& photoURLs) {
    if (!DistributionPolicy::isSandboxed()) return true;
    restore();
    for (const std::filesystem::path& photo : photoURLs) {
        const bool granted = std::any_of(folders_.begin(), folders_.end(), [&](const auto& folder) {
            return contains(photo, folder);
        });
        if (granted) continue;
        if (!prompts_) return false;
        const std::optional<std::filesystem::path> chosen = prompts_->chooseFolder(
            {.title = "Allow access to your photo folder",
             .message = "Choose the folder containing " + photo.filename().string() +
                        ". Quillmere needs it to read XMP files, save checkpoints and export "
                        "beside your originals. Your photos stay on this computer.",
             .prompt = "Allow Folder",
             .startFolder = photo.parent_path()});
        if (!chosen) return false;
        if (!contains(photo, *chosen)) throw AccessError::wrongFolder();
        const std::filesystem::path folder = resolved(*chosen);
        folders_.push_back(folder);
        QStringList stored = preferences_->value(bookmarkKey).toStringList();
        stored.append(QString::fromStdString(folder.string()));
        preferences_->setValue(bookmarkKey, stored);
    }
    return true;
}

}  // namespace quillmere
