#pragma once

#include <QWidget>

#include "app/state/app_state.h"

class QAction;
class QLabel;
class QToolButton;

namespace quillmere {

class BusyIndicator;
class FilmstripList;
class FilmstripModel;
class StateWatcher;

// The band under the preview with every photo of the session. A click previews a photo and
// selects it alone, Ctrl-click or the checkbox adds or removes it, so that edits reach every
// selected photo. The header counts photos and the selection and holds Sync Selected, Save All
// Edits and the selection menu with Select All; "All edits saved" stays after a save until the
// edit changes. Everything shown comes from the state, read when it changes.
class FilmstripView : public QWidget {
    Q_OBJECT

  public:
    explicit FilmstripView(AppState& state, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QWidget* makeHeader();
    QToolButton* makeButton(const char* objectName, const QString& name, const QString& toolTip);
    void syncFromState();
    // The buttons' symbols in the palette's text colour.
    void applyAppearance();
    void saveAllEdits();
    void setSavedMessage(const QString& text);

    AppState& state_;
    StateWatcher* watcher_;
    FilmstripModel* model_;
    FilmstripList* list_;
    QLabel* count_;
    BusyIndicator* applyingIndicator_;
    QLabel* savedMessage_;
    QToolButton* syncButton_;
    QToolButton* saveButton_;
    QToolButton* selectionMenu_;
    QAction* selectAll_;
    QLabel* selectionHint_;
};

}  // namespace quillmere
