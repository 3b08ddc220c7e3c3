#pragma once

#include <QWidget>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/state/app_state.h"

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace quillmere {

class PresetRow;

// The presets of the library sidebar: one folded group per preset folder, the read-only built-in
// folders with a lock, in the order of the state's folder list. A click on a row applies its
// preset; the row of the preset applied last is selected. A user preset's context menu deletes
// it after a confirmation; "+" opens the save-preset sheet. Rows are disabled without a photo and
// while one opens; "+" only without a photo.
class PresetsSection : public QWidget {
    Q_OBJECT

  public:
    // With the title "Presets" in its header when `showsTitle`.
    PresetsSection(AppState& state, bool showsTitle, QWidget* parent = nullptr);

    // What a preset sets, on one line for its tooltip: "contrast +25 · temp 5500 · curve rgb+b",
    // or "No adjustments". Denoise and sharpening are not mentioned.
    static std::string summary(const PresetValues& values);

    QToolButton* saveButton() const { return saveButton_; }

  private:
    // A number as the summary writes it: two decimals at most, none for a whole number, "+" above
    // zero ("+2.50", "-0.10", "+2", "0").
    static std::string signedValue(double value);

    // Builds the folder groups anew from the state's folder list, keeping which were unfolded.
    void showFolders();
    void showSelection();
    void showEnabling();
    QWidget* folderGroup(const PresetFolder& folder);
    void showContextMenu(const Preset& preset, const QPoint& globalPosition);
    // Asks before `preset` is deleted.
    void confirmDelete(const Preset& preset);
    // Deletes the preset; a failure goes to the state's error line.
    void performDelete(const Preset& preset);
    void openSaveSheet();

    AppState& state_;
    QToolButton* saveButton_;
    QWidget* folderList_;
    QVBoxLayout* folderColumn_;
    struct ListedRow {
        PresetRow* row;
        std::string presetID;
    };
    std::vector<ListedRow> rows_;
    // Whether each listed folder (by id) is unfolded; every folder starts folded.
    std::map<std::string, bool> unfolded_;
    // The user preset whose deletion waits for the confirmation.
    std::optional<Preset> pendingDelete_;
};

}  // namespace quillmere
