#include "app/sheets/checkpoint_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/kit/elided_label.h"
#include "app/sheets/checkpoint_date_text.h"
#include "app/style/plain_text.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

constexpr int kCornerRadius = 4;
constexpr double kActiveTint = 0.13;

}  // namespace

CheckpointRow::CheckpointRow(EditCheckpoint checkpoint, QWidget* parent)
    : QWidget(parent), checkpoint_(std::move(checkpoint)), marker_(new QToolButton(this)) {
    setObjectName("checkpointRow");
    const QString name = QString::fromStdString(checkpoint_.name);
    setToolTip(plainToolTip("Restore " + name));
    setAccessibleName(name);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setCursor(Qt::PointingHandCursor);

    marker_->setAutoRaise(true);
    marker_->setIconSize(QSize(11, 11));
    marker_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* title = new ElidedLabel(Qt::ElideRight, this);
    title->setFullText(name);
    title->setObjectName("checkpointName");
    QLabel* date = plainTextLabel(checkpointDateText(checkpoint_.createdAt), this);
    date->setObjectName("checkpointDate");
    date->setFont(textFont(TextStyle::caption2));
    setTextTone(*date, TextTone::secondary);

    auto* text = new QVBoxLayout;
    text->setSpacing(1);
    text->addWidget(title);
    text->addWidget(date);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(7, 4, 7, 4);
    row->setSpacing(6);
    row->addWidget(marker_);
    row->addLayout(text, 1);
    setActive(false);
}

void CheckpointRow::setActive(bool active) {
    if (active == active_ && !marker_->icon().isNull()) return;
    active_ = active;
    marker_->setIcon(active ? symbolIcon("checkmark.circle.fill", SymbolTint::accent)
                            : symbolIcon("circle", SymbolTint::tertiary));
    update();
}

void CheckpointRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit restoreRequested();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CheckpointRow::paintEvent(QPaintEvent*) {
    if (!active_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor tint = accentColor(palette());
    tint.setAlphaF(kActiveTint);
    painter.setPen(Qt::NoPen);
    painter.setBrush(tint);
    painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
}

}  // namespace quillmere
