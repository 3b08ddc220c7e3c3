#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>

class QWidget;

namespace quillmere {

class AppState;

// The program's one error alert: a window-modal box titled "Quillmere" with the state's error
// line and one "OK" button, shown over `window` while the line holds a text. A new text replaces
// the one shown; the box closes when the line is cleared elsewhere, and however the box is
// dismissed, the line is cleared.
class ErrorAlert : public QObject {
    Q_OBJECT

  public:
    ErrorAlert(AppState& state, QWidget& window);

    // The box while it is shown.
    QMessageBox* box() const { return box_; }

  private:
    void syncFromState();

    AppState& state_;
    QWidget& window_;
    QPointer<QMessageBox> box_;
};

}  // namespace quillmere
