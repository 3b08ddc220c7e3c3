#include "app/sheets/sheet_style.h"

#include <QDialog>
#include <QLabel>
#include <QLayout>
#include <QPalette>
#include <algorithm>

#include "app/sheets/error_line.h"
#include "app/style/plain_text.h"
#include "app/style/style.h"

namespace quillmere {

QFont sheetTitleFont() {
    QFont font = textFont(TextStyle::body);
    const double body = font.pointSizeF() > 0 ? font.pointSizeF() : 10;
    font.setPointSizeF(body * 1.3);
    return weighted(font, QFont::DemiBold);
}

QLabel* captionLabel(const QString& text, QWidget* parent) {
    QLabel* label = plainTextLabel(text, parent);
    label->setFont(textFont(TextStyle::caption));
    label->setWordWrap(true);
    setTextTone(*label, TextTone::secondary);
    return label;
}

QLabel* errorLabel(QWidget* parent) {
    auto* label = new ErrorLine(parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, errorTextColor());
    label->setPalette(palette);
    return label;
}

void fitSheetHeight(QDialog& sheet) {
    // A window's layout does not raise the window's minimum height for lines that wrap, and
    // adjustSize() would wrap them at the layout's preferred width, which may exceed the sheet's.
    sheet.layout()->activate();
    const int width = sheet.width();
    sheet.resize(width, std::max(sheet.heightForWidth(width), sheet.minimumSizeHint().height()));
}

}  // namespace quillmere
