#pragma once

#include <QString>
#include <QWidget>
#include <functional>

#include "app/state/app_state.h"
#include "app/state/preferences.h"

class QListWidget;
class QScrollArea;

namespace quillmere {

class StateWatcher;

// The library pane: the tabs "Presets", "Checkpoints" and "Edits" under the header "Library",
// and below them the chosen tab's section. The chosen tab is the preference "library.tab"
// (Presets when none is stored) and survives restarts; a value that names no tab selects no row
// and shows the presets. Disabled while an export runs or edits are applied.
class LibrarySidebar : public QWidget {
    Q_OBJECT

  public:
    // `revealEdit` is called with the layer the user picks in the Edits tab.
    LibrarySidebar(AppState& state, Preferences& preferences,
                   std::function<void(EditLayer)> revealEdit, QWidget* parent = nullptr);

  protected:
    void changeEvent(QEvent* event) override;

  private:
    // The tabs' symbols follow the palette.
    void applyAppearance();
    // Takes over the stored tab: selects its row and builds its section anew when it changed.
    void showStoredTab();

    AppState& state_;
    Preferences& preferences_;
    std::function<void(EditLayer)> revealEdit_;
    StateWatcher* watcher_;
    QListWidget* tabs_;
    QScrollArea* content_;
    QString tab_;
};

}  // namespace quillmere
