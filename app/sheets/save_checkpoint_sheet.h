#pragma once

#include <QDialog>

#include "app/state/app_state.h"

class QLabel;
class QLineEdit;

namespace quillmere {

// The sheet that names a new checkpoint of the open photo and saves the whole current edit under
// that name. A blank name stands for the suggestion ("Checkpoint 3" for a photo with two), which
// follows the photo's checkpoints while the sheet is open. A successful save closes the sheet;
// a failure shows its reason in red until the next attempt, and the sheet stays. Window-modal,
// shown with open(), in its name field; Return saves, Cancel and Esc close it without saving.
class SaveCheckpointSheet : public QDialog {
    Q_OBJECT

  public:
    SaveCheckpointSheet(AppState& state, QWidget* parent);

    // "Checkpoint " and one more than the open photo's number of checkpoints.
    static QString suggestedName(const AppState& state);

    // What Save does: saves under the trimmed name, or the suggestion when nothing is left.
    void save();

  private:
    void showError(const QString& text);

    AppState& state_;
    QLineEdit* name_;
    QLabel* error_;
};

}  // namespace quillmere
