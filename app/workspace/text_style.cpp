#include "app/workspace/text_style.h"

#include <QTextDocument>
#include <QWidget>
#include <algorithm>

namespace quillmere {
namespace {

QFont scaled(const QFont& body, double factor) {
    QFont font = body;
    if (body.pointSizeF() > 0) {
        font.setPointSizeF(std::max(7.0, body.pointSizeF() * factor));
    } else {
        font.setPixelSize(std::max(9, static_cast<int>(body.pixelSize() * factor)));
    }
    return font;
}

}  // namespace

QFont TextStyle::caption(const QFont& body) { return scaled(body, 0.85); }

QFont TextStyle::caption2(const QFont& body) { return scaled(body, 0.8); }

void TextStyle::makeSecondary(QWidget& widget) {
    widget.setForegroundRole(QPalette::PlaceholderText);
}

QString TextStyle::plainToolTip(const QString& text) {
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal);
}

bool isLightAppearance(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() >= 128;
}

QColor materialColor(const QPalette& palette) {
    QColor color = palette.color(QPalette::Window);
    color.setAlphaF(0.85f);
    return color;
}

}  // namespace quillmere
