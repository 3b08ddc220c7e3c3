#include "app/sheets/error_line.h"

#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace quillmere {

ErrorLine::ErrorLine(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

qreal ErrorLine::layOut(QTextLayout& layout, qreal width) const {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setFont(font());
    layout.setText(text());
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

int ErrorLine::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    QTextLayout layout;
    const qreal lines = layOut(layout, std::max(1, width - margins.left() - margins.right()));
    return static_cast<int>(std::ceil(lines)) + margins.top() + margins.bottom();
}

QSize ErrorLine::sizeHint() const {
    const QMargins margins = contentsMargins();
    const int width = fontMetrics().horizontalAdvance(text()) + margins.left() + margins.right();
    return {width, heightForWidth(width)};
}

QSize ErrorLine::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    return {margins.left() + margins.right() + fontMetrics().averageCharWidth(),
            margins.top() + margins.bottom() + fontMetrics().height()};
}

void ErrorLine::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    QTextLayout layout;
    layOut(layout, area.width());
    layout.draw(&painter, area.topLeft());
}

}  // namespace quillmere
