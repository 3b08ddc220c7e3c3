#pragma once

#include <QWidget>
#include <vector>

#include "app/state/app_state.h"

class QCheckBox;
class QPushButton;
class QToolButton;

namespace quillmere {

class DoubleSlider;
class NumberField;

// The content of the "Detail" panel: the sharpening of the open photo in four stepped rows
// (Sharpening, Radius, Detail, Masking), each a slider with a typed value, then the RAW texture
// switch, "Classic", a before/after of the sharpening alone, a reset, and a shortcut to 100 %.
//
// Every write steps, clamps and stores one field of the stored settings (the others stay as
// stored), then shows the sharpening layer again, ends the before/after view and clears the
// markers that no longer hold. A value that is not a number changes nothing.
class SharpeningSection : public QWidget {
    Q_OBJECT

  public:
    // One row: a field of the settings with its range, step and reset value.
    struct Row {
        const char* title;
        double SharpeningSettings::*field;
        double lowerBound;
        double upperBound;
        double step;
        double resetValue;
        const char* help;
    };
    static const std::vector<Row> rows;

    explicit SharpeningSection(AppState& state, QWidget* parent = nullptr);

    // Writes `value` into the row's field as a slider move, a typed value or a reset does.
    void write(const Row& row, double value);

  private:
    struct RowWidgets {
        const Row* row;
        DoubleSlider* slider;
        NumberField* field;
    };

    QWidget* makeRow(const Row& row);
    void sync();
    void setTexture(bool preserve);
    // After every write: the layer shown, the before/after ended, stale markers cleared.
    void didWrite();

    AppState& state_;
    std::vector<RowWidgets> rowWidgets_;
    QCheckBox* texture_;
    QPushButton* compare_;
};

}  // namespace quillmere
