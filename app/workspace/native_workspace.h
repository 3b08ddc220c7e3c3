#pragma once

#include <QWidget>

#include "app/state/app_state.h"
#include "app/state/preferences.h"

class QSplitter;

namespace quillmere {

class LibrarySidebar;
class StateWatcher;
class WorkspacePhotoArea;

// The window's body in three panes side by side: the library sidebar (210 to 300 wide), the
// photo area with the preview and, under it, the filmstrip (at least 320 wide, and the pane that
// takes a change of the window's width), and the develop inspector (340 to 420 wide). Panes are
// never collapsed by dragging a divider or shrinking the window: the side panes show and hide
// only with the preferences "library.visible" and "inspector.visible", the filmstrip with
// "filmstrip.visible" (all shown when nothing is stored). The sidebar, the preview and the
// inspector are disabled while an export runs or edits are applied.
class NativeWorkspace : public QWidget {
    Q_OBJECT

  public:
    NativeWorkspace(AppState& state, Preferences& preferences, QWidget* parent = nullptr);

    // Shows or hides each side pane; a pane already as asked is left alone.
    void setVisibility(bool library, bool inspector);
    // What picking a layer in the library's edit stack does: shows the inspector, then asks it to
    // bring the layer's panel into view.
    void revealEdit(EditLayer layer);

    QSplitter& splitter() { return *splitter_; }

  private:
    // Takes over the three visibility preferences.
    void applyPreferences();
    // The inspector takes no input while an export runs or edits are applied.
    void syncInspectorEnablement();
    bool preference(const char* key) const;

    AppState& state_;
    Preferences& preferences_;
    StateWatcher* watcher_;
    QSplitter* splitter_;
    LibrarySidebar* library_;
    WorkspacePhotoArea* photoArea_;
    QWidget* inspector_;
};

}  // namespace quillmere
