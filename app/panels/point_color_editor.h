#pragma once

#include <QWidget>
#include <optional>
#include <vector>

#include "app/state/app_state.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace quillmere {

class CollapsibleGroup;
class DoubleSlider;
class NumberField;
class SwatchButton;

// The colour mixer's "Point Color" tab: up to eight colours sampled on the photo with the
// eyedropper, each shifted and ranged on its own. The rows edit the selected point by its id; a
// write for a point that is gone is ignored.
class PointColorEditor : public QWidget {
    Q_OBJECT

  public:
    // One control of the selected point: a field with its range.
    struct Row {
        const char* title;
        double PointColor::*field;
        double lowerBound;
        double upperBound;
    };
    // Hue, saturation and luminance shift and variance, which "Reset shifts" zeroes.
    static const std::vector<Row> shiftRows;
    static const Row rangeRow;
    // Under "Refine range".
    static const std::vector<Row> refinementRows;

    explicit PointColorEditor(AppState& state, QWidget* parent = nullptr);

    // Writes into the point with `id`: not a number stores the lower bound, anything else is kept
    // within the range. Nothing when no point has that id.
    void write(const UUID& id, const Row& row, double value);
    // The selected point: the first whose id is the selection.
    std::optional<PointColor> selectedPoint() const;

    QPushButton* sampleButton() const { return sample_; }

  private:
    struct RowWidgets {
        const Row* row;
        NumberField* field;
        DoubleSlider* slider;
    };

    QWidget* makeRow(const Row& row, QWidget* parent);
    void toggleSampling();
    void resetShifts();
    void deleteSelected();
    void syncSwatches();
    void sync();

    AppState& state_;
    QPushButton* sample_;
    QLabel* count_;
    QLabel* samplingHint_;
    QWidget* swatchRow_;
    std::vector<SwatchButton*> swatches_;
    QWidget* controls_;
    CollapsibleGroup* refine_;
    QCheckBox* visualize_;
    QLabel* emptyHint_;
    std::vector<RowWidgets> rows_;
    // The point the controls show, while they are shown.
    std::optional<UUID> shownID_;
};

}  // namespace quillmere
