#include "app/workspace/status_pill.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

#include "app/workspace/text_style.h"

namespace quillmere {

StatusPill::StatusPill(Style style, QMargins padding, QWidget* parent)
    : QWidget(parent), style_(style), row_(new QHBoxLayout(this)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    row_->setContentsMargins(padding);
    row_->setSpacing(8);
    row_->setSizeConstraint(QLayout::SetFixedSize);
    if (style == Style::dark) {
        QPalette white = palette();
        white.setColor(QPalette::WindowText, QColor::fromRgbF(1, 1, 1, 0.9f));
        setPalette(white);
    }
}

void StatusPill::addItem(QWidget* item) {
    item->setAttribute(Qt::WA_TransparentForMouseEvents);
    row_->addWidget(item, 0, Qt::AlignVCenter);
}

QLabel* StatusPill::addLabel(const char* objectName, const QString& text) {
    auto* label = new QLabel(text, this);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    addItem(label);
    return label;
}

void StatusPill::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(style_ == Style::dark ? QColor::fromRgbF(0, 0, 0, 0.6f)
                                           : materialColor(palette()));
    const double radius = height() / 2.0;
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
}

}  // namespace quillmere
