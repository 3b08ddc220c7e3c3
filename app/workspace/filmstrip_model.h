#pragma once

#include <QAbstractListModel>
#include <filesystem>
#include <optional>
#include <vector>

#include "app/state/app_state.h"

namespace quillmere {

class StateWatcher;

// The session's photos as the filmstrip lists them, in session order, with their marks: edited,
// selected, previewed, and whether the session is busy. The session only grows, so a change of
// its photos becomes row inserts and changes of the rows that differ, never a reset: the edited
// mark is announced on every slider step.
class FilmstripModel : public QAbstractListModel {
    Q_OBJECT

  public:
    enum Role {
        urlRole = Qt::UserRole + 1,
        thumbnailRole,
        isEditedRole,
        isSelectedRole,
        isPreviewedRole,
        // An open, an export or applying edits is running: the items take no clicks.
        isBusyRole,
    };

    FilmstripModel(AppState& state, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    // The display role is the file name.
    QVariant data(const QModelIndex& index, int role) const override;

    std::optional<int> row(const std::filesystem::path& url) const;

  private:
    // Takes over the session's photos: inserts new rows, announces rows that changed.
    void syncPhotos();
    void marksChanged();

    AppState& state_;
    StateWatcher* watcher_;
    // The photos as the view last learnt of them.
    std::vector<SessionPhoto> photos_;
};

}  // namespace quillmere
