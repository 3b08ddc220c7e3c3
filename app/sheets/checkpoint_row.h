#pragma once

#include <QWidget>

#include "core/edit/edit_checkpoint.h"

class QLabel;
class QToolButton;

namespace quillmere {

// One checkpoint in the list: a marker (filled while its edit is in force), the name as written
// (on one line, shortened with "…" when too long) and when it was saved, on an accent tint while
// active. A left press anywhere on the row asks to restore it; the context menu is the list's
// (Qt::CustomContextMenu).
class CheckpointRow : public QWidget {
    Q_OBJECT

  public:
    explicit CheckpointRow(EditCheckpoint checkpoint, QWidget* parent = nullptr);

    const EditCheckpoint& checkpoint() const { return checkpoint_; }
    bool isActive() const { return active_; }
    void setActive(bool active);

  signals:
    void restoreRequested();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    EditCheckpoint checkpoint_;
    bool active_ = false;
    QToolButton* marker_;
};

}  // namespace quillmere
