#include "app/kit/elided_label.h"

#include <QEvent>
#include <QFontMetricsF>
#include <cmath>

#include "app/style/plain_text.h"

namespace quillmere {

ElidedLabel::ElidedLabel(Qt::TextElideMode mode, QWidget* parent) : QLabel(parent), mode_(mode) {
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == full_) return;
    full_ = text;
    elide();
    updateGeometry();
}

QSize ElidedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    // Rounded up: a width short of the text by a fraction of a pixel would shorten it.
    const int text = static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(full_)));
    return {text + margins.left() + margins.right(), QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    const int ellipsis = full_.isEmpty() ? 0 : fontMetrics().horizontalAdvance(QChar(0x2026));
    return {ellipsis + margins.left() + margins.right(), QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        elide();
        updateGeometry();
    }
}

void ElidedLabel::elide() {
    setText(fontMetrics().elidedText(full_, mode_, contentsRect().width()));
    setToolTip(isElided() ? plainToolTip(full_) : QString());
}

}  // namespace quillmere
