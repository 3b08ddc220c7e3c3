#include "app/sheets/checkpoints_section.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <ranges>

#include "app/sheets/checkpoint_row.h"
#include "app/sheets/save_checkpoint_sheet.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {

CheckpointsSection::CheckpointsSection(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      save_(new QToolButton(this)),
      empty_(new QLabel("No checkpoints yet", this)),
      rows_(new QVBoxLayout) {
    setObjectName("checkpointsSection");
    auto* caption = new QLabel("Versions of this photo", this);
    caption->setFont(textFont(TextStyle::caption));
    setTextTone(*caption, TextTone::secondary);
    save_->setObjectName("saveCheckpoint");
    save_->setAutoRaise(true);
    save_->setIcon(symbolIcon("plus.circle"));
    save_->setIconSize(QSize(14, 14));
    save_->setAccessibleName("Save checkpoint");
    save_->setToolTip("Save the current edit as a checkpoint");
    connect(save_, &QToolButton::clicked, this, &CheckpointsSection::openSaveSheet);
    auto* header = new QHBoxLayout;
    header->addWidget(caption);
    header->addStretch(1);
    header->addWidget(save_);

    empty_->setObjectName("noCheckpoints");
    empty_->setFont(textFont(TextStyle::caption));
    setTextOpacity(*empty_, 0.55 * 0.7);
    empty_->setContentsMargins(0, 2, 0, 2);
    rows_->setSpacing(5);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(5);
    column->addLayout(header);
    column->addWidget(empty_);
    column->addLayout(rows_);

    using Field = AppState::Field;
    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({Field::photo}, [this] { save_->setEnabled(state_.photo().has_value()); });
    watcher->onAnnounced({Field::checkpoints}, [this] { rebuildRows(); });
    watcher->onAnnounced({Field::activeCheckpointID}, [this] { syncMarks(); });
    save_->setEnabled(state_.photo().has_value());
    rebuildRows();
}

void CheckpointsSection::rebuildRows() {
    // Called on a later turn than any change, never from inside a row's own event.
    qDeleteAll(rowWidgets_);
    rowWidgets_.clear();
    // The store lists the oldest first; newest on top, and of equal times the later one listed.
    for (const EditCheckpoint& checkpoint : std::views::reverse(state_.checkpoints())) {
        auto* row = new CheckpointRow(checkpoint, this);
        connect(row, &CheckpointRow::restoreRequested, this,
                [this, row] { restore(row->checkpoint()); });
        connect(row, &QWidget::customContextMenuRequested, this,
                [this, row](const QPoint& position) { showRowMenu(*row, position); });
        rows_->addWidget(row);
        rowWidgets_.push_back(row);
    }
    empty_->setVisible(rowWidgets_.empty());
    syncMarks();
}

void CheckpointsSection::syncMarks() {
    for (CheckpointRow* row : rowWidgets_) {
        row->setActive(state_.activeCheckpointID() == row->checkpoint().id);
    }
}

void CheckpointsSection::restore(const EditCheckpoint& checkpoint) {
    if (state_.isOpening()) return;
    state_.restoreCheckpoint(checkpoint);
}

void CheckpointsSection::showRowMenu(CheckpointRow& row, const QPoint& position) {
    auto* menu = new QMenu(this);
    menu->setObjectName("checkpointMenu");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const EditCheckpoint checkpoint = row.checkpoint();
    connect(menu->addAction(QString::fromUtf8("Delete Checkpoint\u2026")), &QAction::triggered,
            this, [this, checkpoint] { confirmDeletion(checkpoint); });
    menu->popup(row.mapToGlobal(position));
}

void CheckpointsSection::confirmDeletion(const EditCheckpoint& checkpoint) {
    pendingDelete_ = checkpoint;
    auto* box = new QMessageBox(this);
    box->setObjectName("deleteCheckpointConfirmation");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setText(QString::fromUtf8("Delete \u201C") + QString::fromStdString(checkpoint.name) +
                 QString::fromUtf8("\u201D?"));
    box->setInformativeText("The current edit is not changed.");
    QPushButton* remove = box->addButton("Delete Checkpoint", QMessageBox::DestructiveRole);
    // Return must never delete: Cancel is the default button.
    box->setDefaultButton(box->addButton("Cancel", QMessageBox::RejectRole));
    connect(box, &QMessageBox::finished, this,
            [this, box, remove] { finishDeletion(box->clickedButton() == remove); });
    box->open();
}

void CheckpointsSection::finishDeletion(bool confirmed) {
    const std::optional<EditCheckpoint> pending = std::exchange(pendingDelete_, std::nullopt);
    if (!confirmed || !pending) return;
    try {
        state_.deleteCheckpoint(*pending);
    } catch (const std::exception& error) {
        state_.setLastError(std::string("Could not delete checkpoint: ") + error.what());
    }
}

void CheckpointsSection::openSaveSheet() {
    if (saveSheet_) return;
    saveSheet_ = new SaveCheckpointSheet(state_, this);
    // However it closes, the sheet is done; the next one starts afresh.
    connect(saveSheet_, &QDialog::finished, this, [this] {
        saveSheet_->deleteLater();
        saveSheet_ = nullptr;
    });
    saveSheet_->open();
}

}  // namespace quillmere
