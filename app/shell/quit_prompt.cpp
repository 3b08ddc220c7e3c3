#include "app/shell/quit_prompt.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QSessionManager>

#include "app/shell/window_alert.h"
#include "app/state/app_state.h"

namespace quillmere {

QuitPrompt::QuitPrompt(AppState& state, QWidget& window)
    : QObject(&window), state_(state), window_(window) {
    // The desktop session is ending and lets us speak: the logout is called off and the user
    // asked, rather than the edits lost with the program.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        if (!state_.hasUnsavedEdits() || !manager.allowsInteraction()) return;
        manager.cancel();
        ask();
    });
}

bool QuitPrompt::mayClose() {
    if (leaving_) return true;
    // The chosen save closes the window when it is done.
    if (saving_) return false;
    if (!state_.hasUnsavedEdits()) return true;
    ask();
    return false;
}

void QuitPrompt::ask() {
    if (box_) {
        box_->raise();
        box_->activateWindow();
        return;
    }
    box_ = newWindowAlert(window_, QStringLiteral("quitPrompt"));
    box_->setText(QStringLiteral("Save your edits before quitting?"));
    QPushButton* save = box_->addButton(QStringLiteral("Save All Edits"), QMessageBox::AcceptRole);
    QPushButton* discard =
        box_->addButton(QStringLiteral("Don't Save"), QMessageBox::DestructiveRole);
    // The one rejecting button is also what Escape and the box's close button choose.
    box_->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box_->setDefaultButton(save);
    connect(box_, &QMessageBox::finished, this, [this, save, discard] {
        const QAbstractButton* answer = box_->clickedButton();
        // The box deletes itself; a later request gets a box of its own.
        box_ = nullptr;
        if (answer == save) {
            saveThenClose();
        } else if (answer == discard) {
            closeWithoutAsking();
        }
    });
    box_->open();
}

void QuitPrompt::saveThenClose() {
    saving_ = true;
    state_.saveAllEdits([prompt = QPointer(this)](std::optional<AppState::SessionError> error) {
        if (!prompt) return;
        prompt->saving_ = false;
        if (error) {
            prompt->state_.setLastError(error->what());
            return;
        }
        // Through the same check: an edit made while saving is asked about again.
        prompt->window_.close();
    });
}

void QuitPrompt::closeWithoutAsking() {
    leaving_ = true;
    window_.close();
    leaving_ = false;
}

}  // namespace quillmere
