#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>

class QWidget;

namespace quillmere {

class AppState;

// Stands between quitting and edits the edit files do not hold yet. The main window hands every
// close to `mayClose`; closing it is how the program quits, from the menu, the window's own
// close button or the desktop. While edits are unsaved, a window-modal box titled "Quillmere"
// asks "Save your edits before quitting?": "Save All Edits" (the default) saves every edit and
// closes the window once that succeeded, its failure going to the error line; "Don't Save"
// closes it at once; "Cancel" (Escape) keeps the program running. A desktop session that ends
// while edits are unsaved is called off, and the same box asks. Nothing is ever saved without the
// user's word.
class QuitPrompt : public QObject {
    Q_OBJECT

  public:
    QuitPrompt(AppState& state, QWidget& window);

    // Whether the window may close now. Otherwise the box is shown (only one at a time) or, while
    // the chosen save runs, nothing more happens.
    bool mayClose();

  private:
    void ask();
    void saveThenClose();
    void closeWithoutAsking();

    AppState& state_;
    QWidget& window_;
    QPointer<QMessageBox> box_;
    bool saving_ = false;
    bool leaving_ = false;
};

}  // namespace quillmere
