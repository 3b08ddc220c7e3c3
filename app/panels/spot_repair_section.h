#pragma once

#include <QWidget>

#include "app/state/app_state.h"

class QLabel;
class QPushButton;
class QToolButton;

namespace quillmere {

class DoubleSlider;

// The content of the "Spot Repair" panel: the brush switch ("Heal spots" / "Done"); while the
// brush is on, its size; and while there is anything to show, the number of strokes with undo,
// redo and clear. The painting itself happens on the preview.
class SpotRepairSection : public QWidget {
    Q_OBJECT

  public:
    explicit SpotRepairSection(AppState& state, QWidget* parent = nullptr);

    // "Painting…" during a stroke, else "0 strokes", "1 stroke", "12 strokes".
    static QString status(const AppState& state);

  private:
    void sync();

    AppState& state_;
    QPushButton* toggle_;
    QWidget* brush_;
    QLabel* size_;
    DoubleSlider* slider_;
    QWidget* history_;
    QLabel* status_;
    QToolButton* undo_;
    QToolButton* redo_;
    QToolButton* clear_;
};

}  // namespace quillmere
