#include "app/sheets/sheet_style.h"

#include <QLabel>
#include <QPalette>

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
    QLabel* label = plainTextLabel(QString(), parent);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, errorTextColor());
    label->setPalette(palette);
    return label;
}

}  // namespace quillmere
