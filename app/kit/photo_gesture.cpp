#include "app/kit/photo_gesture.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QSlider>

namespace quillmere {

void PhotoGesture::begin() {
    phase_ = Phase::running;
    photo_ = state_.photoURL();
}

void PhotoGesture::finish() { phase_ = Phase::idle; }

bool PhotoGesture::mayWrite() {
    if (phase_ == Phase::running && state_.photoURL() != photo_) phase_ = Phase::refused;
    return phase_ != Phase::refused;
}

SliderGesture::SliderGesture(const AppState& state, QSlider& slider,
                             std::function<void()> showModel)
    : QObject(&slider), slider_(slider), gesture_(state), showModel_(std::move(showModel)) {
    slider.installEventFilter(this);
}

bool SliderGesture::mayWrite() {
    if (gesture_.mayWrite()) return true;
    // The slider lets go of the handle, or stops stepping, as the button's release would; the
    // release finishes the gesture, and the real one later finds nothing to end.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(), QPointF(), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&slider_, &release);
    showModel_();
    return false;
}

bool SliderGesture::eventFilter(QObject*, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease) {
        return false;
    }
    if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
    if (type == QEvent::MouseButtonRelease) {
        gesture_.finish();
    } else {
        gesture_.begin();
    }
    return false;
}

}  // namespace quillmere
