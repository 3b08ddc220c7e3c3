#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/state/app_state.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillmere {

// The sheet that saves the open photo's edit as a named preset: a name, the folder (the top
// level of the user's presets, one of their folders, or a new one typed in place) and the groups
// of settings to include, white balance off at first. A failed save shows why under the settings
// and keeps the sheet open; a successful one closes it.
class SavePresetSheet : public QDialog {
    Q_OBJECT

  public:
    explicit SavePresetSheet(AppState& state, QWidget* parent = nullptr);

    // The user's words for a store failure.
    static QString message(const PresetStoreError& error);

    // Which groups are ticked.
    PresetCaptureOptions captureOptions() const;
    // The chosen folder's name; "" for the top level, also when a new folder's name is blank.
    std::string resolvedFolder() const;
    // Ticks or clears every group.
    void setAll(bool on);
    // Saves with the trimmed name and closes, or shows why it could not.
    void save();

  private:
    // What a folder item stands for, kept in its item data.
    enum class FolderKind { topLevel, existing, newFolder };

    void addFolderItem(const QString& title, FolderKind kind, const std::string& name = {});
    FolderKind chosenKind() const;
    std::string trimmedName() const;
    void showSaveEnabled();
    void showError(const QString& text);

    AppState& state_;
    QLineEdit* name_;
    QComboBox* folder_;
    QLineEdit* newFolderName_;
    std::vector<QCheckBox*> groups_;  // in the order of the group table
    QLabel* error_;
    QPushButton* save_;
};

}  // namespace quillmere
