#include "app/sheets/save_checkpoint_sheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/sheets/sheet_style.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"
#include "core/edit/checkpoint_store_error.h"
#include "core/edit/unicode_text.h"

namespace quillmere {
namespace {

constexpr int kSheetWidth = 360;

}  // namespace

SaveCheckpointSheet::SaveCheckpointSheet(AppState& state, QWidget* parent)
    : QDialog(parent), state_(state), name_(new QLineEdit(this)), error_(errorLabel(this)) {
    setObjectName("saveCheckpointSheet");
    setWindowTitle("Save Checkpoint");
    setWindowModality(Qt::WindowModal);
    setFixedWidth(kSheetWidth);

    auto* title = new QLabel("Save Checkpoint", this);
    title->setFont(textFont(TextStyle::headline));
    QLabel* explanation = captionLabel(
        "Stores the complete current edit for this photo, including white balance and spot "
        "repairs.",
        this);

    name_->setObjectName("checkpointName");
    error_->setObjectName("checkpointError");
    error_->setFont(textFont(TextStyle::caption));
    error_->hide();

    auto* cancel = new QPushButton("Cancel", this);
    auto* saveButton = new QPushButton("Save", this);
    cancel->setAutoDefault(false);
    saveButton->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(saveButton, &QPushButton::clicked, this, &SaveCheckpointSheet::save);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel);
    buttons->addWidget(saveButton);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(16);
    column->addWidget(title);
    column->addWidget(explanation);
    column->addWidget(name_);
    column->addWidget(error_);
    column->addLayout(buttons);

    const auto suggest = [this] {
        const QString suggestion = suggestedName(state_);
        name_->setPlaceholderText(suggestion);
        name_->setAccessibleName(suggestion);
    };
    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({AppState::Field::checkpoints}, suggest);
    suggest();
    fitSheetHeight(*this);
    // The sheet opens where the name is typed, so a name typed at once is kept and a space is
    // part of it; Return still saves (under the suggestion while the field is empty), Escape
    // cancels. A text field neither the wheel nor an arrow key turns into another choice.
    name_->setFocus();
}

QString SaveCheckpointSheet::suggestedName(const AppState& state) {
    return "Checkpoint " + QString::number(state.checkpoints().size() + 1);
}

void SaveCheckpointSheet::save() {
    const std::string typed = name_->text().toStdString();
    std::string name(trimmingWhitespaceAndNewlines(typed));
    if (name.empty()) name = suggestedName(state_).toStdString();
    try {
        state_.saveCheckpoint(name);
    } catch (const CheckpointStoreError& error) {
        showError(error.code() == CheckpointStoreError::Code::invalidName
                      ? QString("Enter a name for the checkpoint.")
                      : "Could not save the checkpoint: " + QString::fromStdString(error.what()));
        return;
    } catch (const std::exception& error) {
        showError("Could not save the checkpoint: " + QString::fromStdString(error.what()));
        return;
    }
    accept();
}

void SaveCheckpointSheet::showError(const QString& text) {
    error_->setText(text);
    error_->show();
    fitSheetHeight(*this);
}

}  // namespace quillmere
