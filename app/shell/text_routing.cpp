#include "app/shell/text_routing.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace quillmere {
namespace {

// The widget that edits the focused text, or null.
QWidget* focusedTextField() {
    QWidget* focus = QApplication::focusWidget();
    if (!focus) return nullptr;
    // A spin box keeps the focus itself and edits its text in a line edit of its own.
    if (auto* spinBox = qobject_cast<QAbstractSpinBox*>(focus)) {
        return spinBox->findChild<QLineEdit*>();
    }
    if (qobject_cast<QLineEdit*>(focus) || qobject_cast<QTextEdit*>(focus) ||
        qobject_cast<QPlainTextEdit*>(focus)) {
        return focus;
    }
    return nullptr;
}

}  // namespace

bool sendToFocusedTextField(TextCommand command) {
    QWidget* field = focusedTextField();
    if (!field) return false;
    // The three editors share these slot names.
    switch (command) {
        case TextCommand::cut:
            return QMetaObject::invokeMethod(field, "cut");
        case TextCommand::copy:
            return QMetaObject::invokeMethod(field, "copy");
        case TextCommand::paste:
            return QMetaObject::invokeMethod(field, "paste");
        case TextCommand::selectAll:
            return QMetaObject::invokeMethod(field, "selectAll");
    }
    return false;
}

}  // namespace quillmere
