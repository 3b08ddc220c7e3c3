#pragma once

#include <QToolBar>
#include <functional>

namespace quillmere {

class AppState;
class Preferences;
class StateWatcher;

// The main window's toolbar. At its leading end the library toggle and "Open…"; at its trailing
// end "Fit" and "100%", the spot-repair, "Show original" and recovery-comparison toggles,
// "Export…" and the adjustments toggle. The pane toggles bind their preferences; everything else
// calls the state. While no photo is open or the program is busy the photo tools are disabled,
// and while busy "Open…" too; the pane toggles always work.
class EditorToolbar : public QToolBar {
    Q_OBJECT

  public:
    // `showExportSheet` opens the export sheet.
    EditorToolbar(AppState& state, Preferences& preferences, std::function<void()> showExportSheet,
                  QWidget* parent = nullptr);

  private:
    // A button of the toolbar showing its symbol (drawn in the palette's colours), else its
    // label, with its help text and shortcut.
    QAction* addTool(const QString& label, const QString& symbol, const QString& help,
                     const QKeySequence& shortcut = {});
    void addFixedSpace();
    void syncFromState();

    AppState& state_;
    StateWatcher* watcher_;
    QAction* open_ = nullptr;
    QAction* spotRepair_ = nullptr;
    QAction* showOriginal_ = nullptr;
    QAction* compareRecovery_ = nullptr;
    // Disabled while no photo is open or the program is busy.
    QList<QAction*> photoTools_;
};

}  // namespace quillmere
