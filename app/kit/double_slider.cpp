#include "app/kit/double_slider.h"

#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/kit/wheel_guard.h"

namespace quillmere {
namespace {

// Page Up and Page Down move by this many steps.
constexpr std::int64_t kStepsPerPage = 10;

}  // namespace

DoubleSlider::DoubleSlider(QWidget* parent) : DoubleSlider(0, positionCount, parent) {}

DoubleSlider::DoubleSlider(int firstPosition, int lastPosition, QWidget* parent)
    : QSlider(Qt::Horizontal, parent) {
    {
        const QSignalBlocker blocker(this);
        setRange(firstPosition, lastPosition);
    }
    // The wheel's steps; the keys' steps are taken from the value (takeStep).
    setSingleStep(std::max(1, (lastPosition - firstPosition) / 100));
    setPageStep(std::max(1, (lastPosition - firstPosition) / 10));
    setFocusPolicy(Qt::StrongFocus);
    leaveWheelToColumn(*this);
    connect(this, &QAbstractSlider::actionTriggered, this, &DoubleSlider::takeStep);
    connect(this, &QSlider::valueChanged, this, [this](int position) {
        emit valueEdited(stepValue_ ? *std::exchange(stepValue_, std::nullopt) : valueAt(position));
    });
}

bool DoubleSlider::hasRoom() const {
    return std::isfinite(lowerBound_) && std::isfinite(upperBound_) && upperBound_ > lowerBound_;
}

void DoubleSlider::setDoubleRange(double lowerBound, double upperBound) {
    lowerBound_ = lowerBound;
    upperBound_ = upperBound;
    setEnabled(hasRoom());
    setDoubleValue(shownValue_);
}

double DoubleSlider::step() const { return step_.value_or((upperBound_ - lowerBound_) / 100); }

void DoubleSlider::setDoubleValue(double value) {
    shownValue_ = value;
    const QSignalBlocker blocker(this);
    setValue(positionFor(value));
}

double DoubleSlider::doubleValue() const { return valueAt(value()); }

int DoubleSlider::positionFor(double value) const {
    if (!hasRoom() || !(value > lowerBound_)) return minimum();
    if (value >= upperBound_) return maximum();
    const double fraction = (value - lowerBound_) / (upperBound_ - lowerBound_);
    return minimum() + static_cast<int>(std::lround(fraction * (maximum() - minimum())));
}

double DoubleSlider::valueAt(int position) const {
    if (!hasRoom() || position <= minimum()) return lowerBound_;
    if (position >= maximum()) return upperBound_;
    return lowerBound_ +
           (upperBound_ - lowerBound_) * (position - minimum()) / (maximum() - minimum());
}

void DoubleSlider::takeStep(int action) {
    const auto sliderAction = static_cast<SliderAction>(action);
    if (sliderAction == SliderNoAction || sliderAction == SliderMove) return;
    stepValue_ = steppedValue(sliderAction);
    // QAbstractSlider has already moved the handle by its own step, along its grid of positions:
    // the handle goes where the stepped value lies instead, or back where it was.
    setSliderPosition(stepValue_ ? positionFor(*stepValue_) : value());
    if (!stepValue_) return;
    // Shown at once, so the next step goes on from it even before the model answers.
    shownValue_ = *stepValue_;
    // A step too small to move the handle reports its value here; any other, with the position.
    if (sliderPosition() == value()) emit valueEdited(*std::exchange(stepValue_, std::nullopt));
}

std::optional<double> DoubleSlider::steppedValue(SliderAction action) {
    if (!hasRoom()) return std::nullopt;
    if (action == SliderToMinimum || action == SliderToMaximum) {
        stepRun_.reset();
        const double end = action == SliderToMinimum ? lowerBound_ : upperBound_;
        return end == shownValue_ ? std::nullopt : std::optional(end);
    }
    // A run of steps goes on while the model shows the value its last step reached.
    if (!stepRun_ || !(stepRun_->reached == shownValue_)) {
        const double origin = std::isnan(shownValue_)
                                  ? lowerBound_
                                  : std::clamp(shownValue_, lowerBound_, upperBound_);
        stepRun_ = StepRun{.origin = origin, .steps = 0, .reached = origin};
    }
    const bool up = action == SliderSingleStepAdd || action == SliderPageStepAdd;
    // At the end it steps towards, the value stays, and so does the count: the step back returns.
    if (up ? stepRun_->reached >= upperBound_ : stepRun_->reached <= lowerBound_) {
        return std::nullopt;
    }
    const bool page = action == SliderPageStepAdd || action == SliderPageStepSub;
    stepRun_->steps += (up ? 1 : -1) * (page ? kStepsPerPage : 1);
    // Counted from the origin, never added to the last value, so that every step back lands on
    // exactly the value it left; the origin itself is returned as it was.
    stepRun_->reached =
        stepRun_->steps == 0
            ? stepRun_->origin
            : std::clamp(stepRun_->origin + static_cast<double>(stepRun_->steps) * step(),
                         lowerBound_, upperBound_);
    return stepRun_->reached;
}

void DoubleSlider::mousePressEvent(QMouseEvent* event) {
    // A press on the track moves the handle under the pointer and goes on as a drag of it, as a
    // press on the handle itself does.
    if (event->button() == Qt::LeftButton && isEnabled()) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        const QPoint point = event->position().toPoint();
        if (!handle.contains(point)) {
            const QRect groove =
                style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
            const int span = groove.width() - handle.width();
            const int offset = point.x() - groove.x() - handle.width() / 2;
            setSliderPosition(QStyle::sliderValueFromPosition(minimum(), maximum(), offset, span,
                                                              option.upsideDown));
        }
    }
    QSlider::mousePressEvent(event);
}

}  // namespace quillmere
