#include "app/kit/number_field.h"

#include <QDragEnterEvent>
#include <QLocale>
#include <QMimeData>

#include "app/kit/panel_drag.h"
#include "app/kit/wheel_guard.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {

NumberField::NumberField(AppState& state, int decimals, int width, QWidget* parent)
    : QLineEdit(parent), decimals_(decimals), typing_(state) {
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setFixedWidth(width);
    setFont(digitFont(textFont(TextStyle::subheadline)));
    leaveWheelToColumn(*this);
    connect(this, &QLineEdit::editingFinished, this, &NumberField::finish);
    connect(this, &QLineEdit::textEdited, this, [this] {
        if (!typing_.inProgress()) typing_.begin();
    });
    // Dropped as the other photo opens, even when its value is the same and nothing is shown anew.
    auto* watcher = new StateWatcher(state, this);
    watcher->onAnnounced({AppState::Field::photo}, [this] {
        if (!typing_.mayWrite()) display(value_);
    });
    display(value_);
}

void NumberField::setValue(double value) {
    value_ = value;
    // What the user is typing on the open photo stays until they finish.
    if (hasFocus() && isModified() && typing_.mayWrite()) return;
    display(value);
}

void NumberField::finish() {
    // Return on text the user left as it was, or typed on another photo, commits nothing.
    const bool edited = isModified() && typing_.mayWrite();
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
    typing_.finish();
}

}  // namespace quillmere
