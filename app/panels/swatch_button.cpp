#include "app/panels/swatch_button.h"

#include <QPainter>

namespace quillmere {

SwatchButton::SwatchButton(int diameter, QWidget* parent)
    : QAbstractButton(parent), diameter_(diameter) {
    setFixedSize(diameter, diameter);
    setCursor(Qt::PointingHandCursor);
}

void SwatchButton::setColor(const QColor& color) {
    color_ = color;
    update();
}

void SwatchButton::setSelected(bool selected) {
    selected_ = selected;
    update();
}

QSize SwatchButton::sizeHint() const { return {diameter_, diameter_}; }

void SwatchButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF circle = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    painter.drawEllipse(circle);
    if (!selected_) return;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
    painter.drawEllipse(circle);
}

}  // namespace quillmere
