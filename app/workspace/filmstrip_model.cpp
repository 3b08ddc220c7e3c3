#include "app/workspace/filmstrip_model.h"

#include "app/state/follow/state_watcher.h"

namespace quillmere {
namespace {

bool sameLook(const SessionPhoto& a, const SessionPhoto& b) {
    return a.isEdited == b.isEdited && a.thumbnail.cacheKey() == b.thumbnail.cacheKey();
}

}  // namespace

FilmstripModel::FilmstripModel(AppState& state, QObject* parent)
    : QAbstractListModel(parent), state_(state), watcher_(new StateWatcher(state, this)),
      photos_(state.sessionPhotos()) {
    using Field = AppState::Field;
    watcher_->onAnnounced({Field::sessionPhotos}, [this] { syncPhotos(); });
    watcher_->onAnnounced({Field::selectedPhotoIDs, Field::photo, Field::isOpening,
                           Field::isExporting, Field::isApplyingEdits},
                          [this] { marksChanged(); });
}

int FilmstripModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(photos_.size());
}

QVariant FilmstripModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const SessionPhoto& photo = photos_[static_cast<std::size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(photo.url.filename().string());
        case urlRole:
            return QString::fromStdString(photo.url.string());
        case thumbnailRole:
            return photo.thumbnail;
        case isEditedRole:
            return photo.isEdited;
        case isSelectedRole:
            return state_.selectedPhotoIDs().contains(photo.url);
        case isPreviewedRole:
            return state_.photoURL() == photo.url;
        case isBusyRole:
            return state_.isBusy();
        default:
            return {};
    }
}

std::optional<int> FilmstripModel::row(const std::filesystem::path& url) const {
    for (std::size_t index = 0; index < photos_.size(); ++index) {
        if (photos_[index].url == url) return static_cast<int>(index);
    }
    return std::nullopt;
}

void FilmstripModel::syncPhotos() {
    const std::vector<SessionPhoto>& current = state_.sessionPhotos();
    const bool grew = current.size() >= photos_.size() &&
                      std::equal(photos_.begin(), photos_.end(), current.begin(),
                                 [](const auto& a, const auto& b) { return a.url == b.url; });
    if (!grew) {
        // Photos never leave a session; should they ever, the list starts over.
        beginResetModel();
        photos_ = current;
        endResetModel();
        return;
    }
    for (std::size_t index = 0; index < photos_.size(); ++index) {
        if (sameLook(photos_[index], current[index])) continue;
        photos_[index] = current[index];
        const QModelIndex changed = this->index(static_cast<int>(index));
        emit dataChanged(changed, changed, {thumbnailRole, isEditedRole});
    }
    if (current.size() > photos_.size()) {
        beginInsertRows({}, static_cast<int>(photos_.size()), static_cast<int>(current.size()) - 1);
        photos_.insert(photos_.end(), current.begin() + static_cast<std::ptrdiff_t>(photos_.size()),
                       current.end());
        endInsertRows();
    }
}

void FilmstripModel::marksChanged() {
    if (photos_.empty()) return;
    emit dataChanged(index(0), index(rowCount() - 1),
                     {isSelectedRole, isPreviewedRole, isBusyRole});
}

}  // namespace quillmere
