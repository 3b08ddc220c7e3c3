#include "app/kit/locator_highlight.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include "app/kit/ui_timing.h"
#include "app/style/style.h"

namespace quillmere {

LocatorHighlight::LocatorHighlight(QWidget& column) : QWidget(&column), column_(column) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(column.rect());
    column.installEventFilter(this);
    connect(&fade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        opacity_ = value.toDouble();
        update();
    });
    connect(&fade_, &QVariantAnimation::finished, this, [this] {
        if (!target_) drawn_ = nullptr;
    });
}

void LocatorHighlight::setTarget(QWidget* target) {
    if (target_) target_->removeEventFilter(this);
    target_ = target;
    if (target) {
        target->installEventFilter(this);
        drawn_ = target;
        raise();
        fadeTo(1, 0.15, QEasingCurve::InOutQuad);
    } else {
        fadeTo(0, 0.25, QEasingCurve::OutQuad);
    }
    update();
}

QRect LocatorHighlight::frameRect() const {
    if (!drawn_ || !drawn_->isVisible()) return {};
    const QRect rect(drawn_->mapTo(&column_, QPoint(0, 0)), drawn_->size());
    return rect.adjusted(-8, -6, 8, 6);
}

void LocatorHighlight::fadeTo(double opacity, double seconds, QEasingCurve curve) {
    fade_.stop();
    fade_.setStartValue(opacity_);
    fade_.setEndValue(opacity);
    fade_.setEasingCurve(curve);
    fade_.setDuration(UiTiming::milliseconds(seconds));
    fade_.start();
}

bool LocatorHighlight::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &column_ && event->type() == QEvent::Resize) setGeometry(column_.rect());
    // The framed control moves when panels above it fold or unfold, which lays the column out
    // anew; the frame is measured again when painted.
    if ((watched == &column_ && event->type() == QEvent::LayoutRequest) ||
        (watched == target_ &&
         (event->type() == QEvent::Move || event->type() == QEvent::Resize))) {
        update();
    }
    return false;
}

void LocatorHighlight::paintEvent(QPaintEvent*) {
    const QRect frame = frameRect();
    if (frame.isEmpty() || opacity_ <= 0) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = accentColor(palette());
    QColor fill = accent, stroke = accent;
    fill.setAlphaF(static_cast<float>(0.12 * opacity_));
    stroke.setAlphaF(static_cast<float>(0.5 * opacity_));
    QPainterPath path;
    path.addRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(path, fill);
    painter.setPen(QPen(stroke, 1));
    painter.drawPath(path);
}

}  // namespace quillmere
