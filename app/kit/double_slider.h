#pragma once

#include <QSlider>

namespace quillmere {

// A horizontal slider over a closed range of doubles, for a value the model owns.
// - The model's value is shown with `setDoubleValue`, which never emits: a value outside the range
//   is shown at the nearer end and never written back (Qt would clamp and signal).
// - The user's moves (drag, a click on the track, keys) emit `valueEdited`; the ends give exactly
//   the range's bounds. `sliderPressed` and `sliderReleased` mark a drag.
// - A range with no room (upper bound not above the lower one, or not finite) shows the slider
//   disabled at the lower end.
// - The wheel moves it only while it has keyboard focus; otherwise it scrolls the column around it.
class DoubleSlider : public QSlider {
    Q_OBJECT

  public:
    // Positions along the track; every one maps to a distinct value.
    static constexpr int positionCount = 10000;

    explicit DoubleSlider(QWidget* parent = nullptr);

    // Never emits; keeps the shown value where it lies in the new range.
    void setDoubleRange(double lowerBound, double upperBound);
    double lowerBound() const { return lowerBound_; }
    double upperBound() const { return upperBound_; }
    bool hasRoom() const;

    // Shows the model's value; never emits.
    void setDoubleValue(double value);
    // The value the slider's position stands for.
    double doubleValue() const;

  signals:
    void valueEdited(double value);

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    int positionFor(double value) const;
    double valueAt(int position) const;

    double lowerBound_ = 0;
    double upperBound_ = 1;
    // The model's value, shown again after a range change.
    double shownValue_ = 0;
};

}  // namespace quillmere
