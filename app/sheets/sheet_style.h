#pragma once

#include <QFont>
#include <QString>

class QDialog;
class QLabel;
class QWidget;

namespace quillmere {

// The look the library's sheets share, on top of the program's text styles.

// A sheet's title: larger than the body text, semibold.
QFont sheetTitleFont();
// An explanation under a form's fields: the caption font in the secondary tone, wrapped onto as
// many lines as it needs.
QLabel* captionLabel(const QString& text, QWidget* parent = nullptr);
// A sheet's error or validation line: plain text in red, wrapped, a long word (a path) too, so
// the whole text shows; empty until given a text.
QLabel* errorLabel(QWidget* parent = nullptr);
// Gives a sheet of fixed width the height its contents take at that width, so every wrapped
// line (an error shown, a caption) is shown whole and nothing above it is squeezed, and the sheet
// shrinks again when a line goes. Called whenever a line appears, changes or goes.
void fitSheetHeight(QDialog& sheet);

}  // namespace quillmere
