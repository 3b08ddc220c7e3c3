#pragma once

#include <QString>

class QLabel;
class QWidget;

namespace quillmere {

// Text that comes from the user or from a file (preset, folder and checkpoint names, paths, error
// lines) is shown as it is, never interpreted: Qt would take "<b>x" for rich text and "&x" for a
// mnemonic.

// A label that shows `text` literally.
QLabel* plainTextLabel(const QString& text, QWidget* parent = nullptr);
// For a button's text: every '&' doubled, so none becomes a mnemonic.
QString buttonText(const QString& text);
// For a tooltip: escaped and kept on its lines, so Qt's rich-text guess cannot misread it.
QString plainToolTip(const QString& text);

}  // namespace quillmere
