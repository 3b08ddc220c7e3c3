#pragma once

#include <QMainWindow>

namespace quillmere {

class AppState;
class DropOverlay;
class EditorToolbar;
class ErrorAlert;
class Preferences;
class QuitPrompt;
class StateWatcher;

// The program's window around the workspace: its title (the open photo's file name, else
// "Quillmere"), the editor toolbar, the drop target for photo files with its overlay, the export
// sheet, the one error alert, and the launch argument "--open", looked at each time the window
// is shown (the state opens it once per run). Asking for an edit layer's panel or switching the
// spot-repair brush on shows the inspector; neither ever hides it. Closing it ends the program,
// so it asks first about edits not yet saved.
class MainWindow : public QMainWindow {
    Q_OBJECT

  public:
    MainWindow(AppState& state, Preferences& preferences, QWidget* parent = nullptr);
    ~MainWindow() override;

    EditorToolbar& toolbar() { return *toolbar_; }
    DropOverlay& dropOverlay() { return *dropOverlay_; }
    ErrorAlert& errorAlert() { return *errorAlert_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void showExportSheet();
    void updateTitle();
    void revealInspector();

    AppState& state_;
    Preferences& preferences_;
    StateWatcher* watcher_;
    EditorToolbar* toolbar_;
    DropOverlay* dropOverlay_;
    ErrorAlert* errorAlert_;
    QuitPrompt* quitPrompt_;
};

}  // namespace quillmere
