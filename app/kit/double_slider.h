#pragma once

#include <QSlider>
#include <cstdint>
#include <optional>

namespace quillmere {

// A horizontal slider over a closed range of doubles, for a value the model owns.
// - The model's value is shown with `setDoubleValue`, which never emits: a value outside the range
//   is shown at the nearer end and never written back (Qt would clamp and signal).
// - The user's moves (drag, a click on the track, keys) emit `valueEdited`; the ends give exactly
//   the range's bounds. `sliderPressed` and `sliderReleased` mark a drag.
// - A step (the arrow keys, Page Up and Down as ten steps, Home and End, an assistive tool's
//   increment) moves the model's value itself, not the handle's position: the step is added to or
//   taken from the shown value and the result kept within the range. Steps count from the value
//   they began on, so stepping back returns that value exactly (0.1 + 0.05 - 0.05 is not 0.1 in
//   floating point; 0.1 + 0 × 0.05 is). They begin anew once the model shows another value.
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

    // The value one step adds or takes away; a hundredth of the range unless set.
    void setStep(double step) { step_ = step; }
    double step() const;

    // Shows the model's value; never emits.
    void setDoubleValue(double value);
    // The value the slider's position stands for.
    double doubleValue() const;

  signals:
    void valueEdited(double value);

  protected:
    // A slider whose track has the positions `firstPosition`...`lastPosition`, spread evenly over
    // the range.
    DoubleSlider(int firstPosition, int lastPosition, QWidget* parent);

    void mousePressEvent(QMouseEvent* event) override;

  private:
    // Where a run of steps began and how far it has gone.
    struct StepRun {
        double origin;
        std::int64_t steps;
        double reached;
    };

    int positionFor(double value) const;
    double valueAt(int position) const;
    // Called by QAbstractSlider as it performs `action`, before it reports the handle's position.
    void takeStep(int action);
    // The value a step action leads to, or nothing when it would leave the value as it is.
    std::optional<double> steppedValue(SliderAction action);

    double lowerBound_ = 0;
    double upperBound_ = 1;
    std::optional<double> step_;
    // The model's value, shown again after a range change, and the value steps start from.
    double shownValue_ = 0;
    std::optional<StepRun> stepRun_;
    // The value of the step being taken, which the position reported next stands for.
    std::optional<double> stepValue_;
};

}  // namespace quillmere
