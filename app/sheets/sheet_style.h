#pragma once

#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace quillmere {

// The look the library's sheets share, on top of the program's text styles.

// A sheet's title: larger than the body text, semibold.
QFont sheetTitleFont();
// An explanation under a form's fields: the caption font in the secondary tone, wrapped onto as
// many lines as it needs.
QLabel* captionLabel(const QString& text, QWidget* parent = nullptr);
// A sheet's error or validation line: plain text in red, wrapped; empty until given a text.
QLabel* errorLabel(QWidget* parent = nullptr);

}  // namespace quillmere
