#include "app/shell/error_alert.h"

#include <QMessageBox>

#include "app/shell/window_alert.h"
#include "app/state/follow/state_follow.h"

namespace quillmere {

ErrorAlert::ErrorAlert(AppState& state, QWidget& window)
    : QObject(&window), state_(state), window_(window) {
    follow(*new StateWatcher(state_, this), {AppState::Field::lastError},
           [this] { syncFromState(); });
}

void ErrorAlert::syncFromState() {
    const std::optional<std::string>& error = state_.lastError();
    if (!error) {
        if (box_) box_->done(QMessageBox::Ok);
        return;
    }
    if (!box_) {
        box_ = newWindowAlert(window_, QStringLiteral("errorAlert"));
        // Error lines quote file names and other texts from outside.
        box_->setTextFormat(Qt::PlainText);
        box_->setStandardButtons(QMessageBox::Ok);
        connect(box_, &QMessageBox::finished, this, [this] {
            // The box deletes itself; a text arriving meanwhile gets a box of its own.
            box_ = nullptr;
            state_.setLastError(std::nullopt);
        });
        box_->setText(QString::fromStdString(*error));
        box_->open();
        return;
    }
    box_->setText(QString::fromStdString(*error));
}

}  // namespace quillmere
