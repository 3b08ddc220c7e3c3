#pragma once

#include <QPointer>
#include <QWidget>
#include <optional>
#include <vector>

#include "app/sheets/save_checkpoint_sheet.h"
#include "app/state/app_state.h"

class QLabel;
class QMessageBox;
class QToolButton;
class QVBoxLayout;

namespace quillmere {

class CheckpointRow;

// The library's "Checkpoints" tab: the open photo's saved versions, newest first, the one in
// force marked. A click on a row restores it (not while a photo is opening, when the row may
// still belong to the photo going away); its context menu deletes it after a confirmation; the
// header's button opens the save sheet. Failures of a deletion go to the window's error line.
class CheckpointsSection : public QWidget {
    Q_OBJECT

  public:
    explicit CheckpointsSection(AppState& state, QWidget* parent = nullptr);

    // The checkpoint whose deletion waits for the user's answer.
    const std::optional<EditCheckpoint>& pendingDelete() const { return pendingDelete_; }
    // Asks whether to delete `checkpoint`, as its row's "Delete Checkpoint…" does.
    void confirmDeletion(const EditCheckpoint& checkpoint);
    // The save sheet while it is shown.
    SaveCheckpointSheet* saveSheet() const { return saveSheet_; }

  private:
    void rebuildRows();
    void syncMarks();
    void restore(const EditCheckpoint& checkpoint);
    void showRowMenu(CheckpointRow& row, const QPoint& position);
    void openSaveSheet();
    // The confirmation's answer: deletes when `confirmed`; any answer ends the wait.
    void finishDeletion(bool confirmed);

    AppState& state_;
    QToolButton* save_;
    QLabel* empty_;
    QVBoxLayout* rows_;
    std::vector<CheckpointRow*> rowWidgets_;
    std::optional<EditCheckpoint> pendingDelete_;
    QPointer<SaveCheckpointSheet> saveSheet_;
};

}  // namespace quillmere
