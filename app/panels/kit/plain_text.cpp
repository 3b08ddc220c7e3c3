#include "app/panels/kit/plain_text.h"

#include <QLabel>

namespace quillmere {

QLabel* plainTextLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
    return label;
}

QString buttonText(const QString& text) {
    QString doubled = text;
    return doubled.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString plainToolTip(const QString& text) {
    return QLatin1String("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QLatin1String("</p>");
}

}  // namespace quillmere
