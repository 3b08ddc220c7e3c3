#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace quillmere {

// A new alert box of the program's own look over `window`: window-modal, titled "Quillmere", with
// the warning icon, deleted once closed. The caller fills in its text and buttons and opens it.
QMessageBox* newWindowAlert(QWidget& window, const QString& objectName);

}  // namespace quillmere
