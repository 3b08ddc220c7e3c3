#include "app/sheets/preset_row.h"

#include <QPainter>
#include <QPainterPath>

#include "app/style/style.h"

namespace quillmere {
namespace {

constexpr int kHorizontalPadding = 8;
constexpr int kVerticalPadding = 6;
constexpr double kCornerRadius = 4;

}  // namespace

PresetRow::PresetRow(const QString& name, QWidget* parent) : QAbstractButton(parent), name_(name) {
    // The name is painted by the row, not set as the button's text, where an '&' would make a
    // keyboard shortcut.
    setAccessibleName(name);
    setAccessibleDescription("Not selected");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFont(textFont(TextStyle::body));
}

void PresetRow::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    setAccessibleDescription(selected ? "Selected" : "Not selected");
    update();
}

QSize PresetRow::sizeHint() const {
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(name_) + 2 * kHorizontalPadding,
            metrics.height() + 2 * kVerticalPadding};
}

QSize PresetRow::minimumSizeHint() const { return {2 * kHorizontalPadding, sizeHint().height()}; }

void PresetRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (selected_) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
        painter.fillPath(shape, accentColor(palette()));
    }
    painter.setPen(palette().color(selected_ ? QPalette::HighlightedText : QPalette::WindowText));
    const QRect textArea = rect().adjusted(kHorizontalPadding, kVerticalPadding,
                                           -kHorizontalPadding, -kVerticalPadding);
    const QString shown = painter.fontMetrics().elidedText(name_, Qt::ElideRight, textArea.width());
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

}  // namespace quillmere
