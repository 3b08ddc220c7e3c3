#include "app/workspace/symbols.h"

#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <cmath>

namespace quillmere {

QPixmap Symbols::pixmap(const QString& name, qreal side, QColor color, qreal devicePixelRatio) {
    // Lists repaint the same few symbols over and over.
    const QString key = QString("quillmere-symbol:%1:%2:%3:%4")
                            .arg(name)
                            .arg(side)
                            .arg(color.rgba(), 0, 16)
                            .arg(devicePixelRatio);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) return cached;
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
    const QPixmap pixmap = QPixmap::fromImage(image);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

}  // namespace quillmere
