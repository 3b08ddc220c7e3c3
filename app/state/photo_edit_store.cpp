#include "app/state/photo_edit_store.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <cstdint>
#include <string>
#include <system_error>

#include "app/state/file_error.h"
#include "app/state/saved_photo_edit.h"
#include "app/state/standardized_path.h"
#include "core/common/coding_error.h"
#include "core/common/file_io.h"
#include "core/edit/application_storage.h"

namespace quillmere {
namespace {

// An edit file is a few kilobytes; anything near this is not one of ours.
constexpr std::uintmax_t kMaximumEditFileBytes = std::uintmax_t{64} << 20;

}  // namespace

PhotoEditStore::PhotoEditStore(std::optional<std::filesystem::path> directory)
    : directory_(directory ? std::move(*directory) : ApplicationStorage::directory() / "Edits") {}

std::filesystem::path PhotoEditStore::location(const std::filesystem::path& photoURL) const {
    const std::filesystem::path standardized = standardizedPath(photoURL);
    const std::string& path = standardized.native();
    const QByteArray digest =
        QCryptographicHash::hash(QByteArrayView(path.data(), static_cast<qsizetype>(path.size())),
                                 QCryptographicHash::Sha256);
    return directory_ / (digest.toHex().toStdString() + ".json");
}

void PhotoEditStore::save(const PhotoSessionState& state,
                          const std::filesystem::path& photoURL) const {
    std::error_code error;
    std::filesystem::create_directories(directory_, error);
    if (error) throw FileError::couldNotCreateFolder(directory_, error);

    const SavedPhotoEdit record{.source = standardizedPath(photoURL).native(),
                                .params = state.params,
                                .baseline = state.baseline,
                                .xmpLoaded = state.xmpLoaded};
    const std::string contents = record.json();
    const std::filesystem::path file = location(photoURL);
    try {
        file_io::writeFileAtomically(file, contents);
    } catch (const std::system_error& failure) {
        throw FileError::couldNotSave(file, failure.code());
    }
}

std::optional<PhotoSessionState> PhotoEditStore::savedState(
    const std::filesystem::path& photoURL) const {
    const std::filesystem::path file = location(photoURL);
    std::error_code error;
    const bool present = std::filesystem::exists(file, error);
    // A folder that cannot be searched must not pass for a photo without an edit.
    if (error) throw FileError::couldNotReadSavedEdit(file, error.message() + ".");
    if (!present) return std::nullopt;

    const std::optional<std::string> contents = file_io::readFile(file, kMaximumEditFileBytes);
    if (!contents) throw FileError::couldNotReadSavedEdit(file);
    SavedPhotoEdit record;
    try {
        record = SavedPhotoEdit::decode(json::parse(*contents));
    } catch (const DecodingError& damaged) {
        throw FileError::couldNotReadSavedEdit(file, damaged.what());
    }
    if (record.version != SavedPhotoEdit::currentVersion ||
        record.source != standardizedPath(photoURL).native()) {
        return std::nullopt;
    }
    PhotoSessionState state;
    state.params = record.params;
    state.baseline = record.baseline;
    state.xmpLoaded = record.xmpLoaded;
    return state;
}

}  // namespace quillmere
