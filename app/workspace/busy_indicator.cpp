#include "app/workspace/busy_indicator.h"

#include <QPainter>

namespace quillmere {
namespace {

constexpr int kSpokes = 12;

}  // namespace

BusyIndicator::BusyIndicator(Size size, QWidget* parent)
    : QWidget(parent), side_(size == Size::small ? 16 : 32) {
    setObjectName("busyIndicator");
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(side_, side_);
    timer_.setInterval(1000 / kSpokes);
    connect(&timer_, &QTimer::timeout, this, [this] {
        step_ = (step_ + 1) % kSpokes;
        update();
    });
}

void BusyIndicator::setColor(std::optional<QColor> color) {
    color_ = color;
    update();
}

QSize BusyIndicator::sizeHint() const { return {side_, side_}; }

void BusyIndicator::showEvent(QShowEvent*) { timer_.start(); }

void BusyIndicator::hideEvent(QHideEvent*) { timer_.stop(); }

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const double radius = side_ / 2.0;
    QColor color = color_.value_or(palette().color(QPalette::WindowText));
    QPen pen(color, side_ / 10.0, Qt::SolidLine, Qt::RoundCap);
    for (int spoke = 0; spoke < kSpokes; ++spoke) {
        // The spoke at the current step is the brightest; the ones behind it fade.
        const int age = (step_ - spoke + kSpokes) % kSpokes;
        color.setAlphaF(static_cast<float>(1.0 - 0.75 * age / (kSpokes - 1)));
        pen.setColor(color);
        painter.setPen(pen);
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.rotate(360.0 / kSpokes);
    }
}

}  // namespace quillmere
