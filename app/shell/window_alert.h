#pragma once

#include <QString>

class QMessageBox;
class QWidget;

namespace quillmere {

// A new alert box of the program's own look over `window`: window-modal, titled "Quillmere", with
// the warning icon, deleted once closed. Its text is kept whole: once taller than two thirds of
// the screen it scrolls inside the box, and the box stays on its screen, also when a longer text
// replaces the one shown. The caller fills in its text and buttons and opens it; nothing else
// (another icon, an informative or detailed text, a check box), which would lay the box out anew
// and take the text out of its scrolling area.
QMessageBox* newWindowAlert(QWidget& window, const QString& objectName);

}  // namespace quillmere
