#include "app/workspace/symbols.h"

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cmath>

namespace quillmere {

QPixmap Symbols::pixmap(const QString& name, qreal side, QColor color, qreal devicePixelRatio) {
    QSvgRenderer renderer(":/icons/" + name + ".svg");
    if (!renderer.isValid() || !(side > 0) || !(devicePixelRatio > 0)) return {};
    const int pixels = static_cast<int>(std::ceil(side * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    // The drawing's coverage, filled with the colour.
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    image.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(image);
}

}  // namespace quillmere
