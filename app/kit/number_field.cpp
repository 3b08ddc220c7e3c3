#include "app/kit/number_field.h"

#include <QDragEnterEvent>
#include <QLocale>
#include <QMimeData>

#include "app/kit/panel_drag.h"
#include "app/kit/wheel_guard.h"
#include "app/style/style.h"

namespace quillmere {

NumberField::NumberField(int decimals, int width, QWidget* parent)
    : QLineEdit(parent), decimals_(decimals) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFixedWidth(width);
    setFont(digitFont(textFont(TextStyle::subheadline)));
    leaveWheelToColumn(*this);
    connect(this, &QLineEdit::editingFinished, this, &NumberField::finish);
    display(value_);
}

void NumberField::setValue(double value) {
    value_ = value;
    // What the user is typing stays until they finish.
    if (hasFocus() && isModified()) return;
    display(value);
}

void NumberField::finish() {
    // Return on text the user left as it was commits nothing.
    const bool edited = isModified();
    bool isNumber = false;
    const double typed = QLocale().toDouble(text().trimmed(), &isNumber);
    // Shown again first: the model answers the commit with setValue, which must not find the
    // typed text still pending.
    display(value_);
    if (edited && isNumber) emit committed(typed);
}

void NumberField::dragEnterEvent(QDragEnterEvent* event) {
    // Refused, the drag goes on to the widgets around the field, where the panel takes it.
    if (draggedPanelId(event->mimeData()->text())) return event->ignore();
    QLineEdit::dragEnterEvent(event);
}

void NumberField::display(double value) {
    setText(QLocale().toString(value, 'f', decimals_));
    setModified(false);
}

}  // namespace quillmere
