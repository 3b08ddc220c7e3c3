#include "app/kit/double_slider.h"

#include <QMouseEvent>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <cmath>

#include "app/kit/wheel_guard.h"

namespace quillmere {

DoubleSlider::DoubleSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    {
        const QSignalBlocker blocker(this);
        setRange(0, positionCount);
    }
    setSingleStep(positionCount / 100);
    setPageStep(positionCount / 10);
    setFocusPolicy(Qt::StrongFocus);
    leaveWheelToColumn(*this);
    connect(this, &QSlider::valueChanged, this,
            [this](int position) { emit valueEdited(valueAt(position)); });
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

void DoubleSlider::setDoubleValue(double value) {
    shownValue_ = value;
    const QSignalBlocker blocker(this);
    setValue(positionFor(value));
}

double DoubleSlider::doubleValue() const { return valueAt(value()); }

int DoubleSlider::positionFor(double value) const {
    if (!hasRoom() || !(value > lowerBound_)) return 0;
    if (value >= upperBound_) return positionCount;
    const double fraction = (value - lowerBound_) / (upperBound_ - lowerBound_);
    return static_cast<int>(std::lround(fraction * positionCount));
}

double DoubleSlider::valueAt(int position) const {
    if (!hasRoom() || position <= 0) return lowerBound_;
    if (position >= positionCount) return upperBound_;
    return lowerBound_ + (upperBound_ - lowerBound_) * position / positionCount;
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
