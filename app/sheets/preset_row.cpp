#include "app/sheets/preset_row.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>

#include "app/kit/elided_label.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

constexpr int kHorizontalPadding = 8;
constexpr int kVerticalPadding = 6;
constexpr double kCornerRadius = 4;

}  // namespace

PresetRow::PresetRow(const QString& name, QWidget* parent)
    : QAbstractButton(parent), name_(new ElidedLabel(Qt::ElideRight, this)) {
    // The name is a label of the row, not the button's text, where an '&' would make a keyboard
    // shortcut. The click and the tooltip (what the preset sets) stay the row's.
    name_->setFullText(name);
    name_->setFont(textFont(TextStyle::body));
    name_->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kHorizontalPadding, kVerticalPadding, kHorizontalPadding,
                            kVerticalPadding);
    row->addWidget(name_);
    setAccessibleName(name);
    setAccessibleDescription("Not selected");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    applyTextColor();
}

QString PresetRow::name() const { return name_->fullText(); }

void PresetRow::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    setAccessibleDescription(selected ? "Selected" : "Not selected");
    applyTextColor();
    update();
}

void PresetRow::applyTextColor() {
    // Inside a button a label draws in the button-text role.
    QPalette palette = name_->palette();
    palette.setColor(
        name_->foregroundRole(),
        this->palette().color(selected_ ? QPalette::HighlightedText : QPalette::WindowText));
    name_->setPalette(palette);
}

void PresetRow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applyTextColor();
    QAbstractButton::changeEvent(event);
}

void PresetRow::paintEvent(QPaintEvent*) {
    if (!selected_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, accentColor(palette()));
}

}  // namespace quillmere
