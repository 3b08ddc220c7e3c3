#include "app/workspace/spot_repair_overlay.h"

#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <algorithm>

namespace quillmere {
namespace {

// The region a repair covers: a disc for a dab, the round-ended band the brush swept for a
// stroke.
QPainterPath repairShape(const SpotRepair& repair, const QRectF& imageRect) {
    const double radius = repair.radius * std::min(imageRect.width(), imageRect.height());
    const auto toView = [&](const SpotRepair::Point& point) {
        return QPointF(imageRect.left() + point.x * imageRect.width(),
                       imageRect.top() + point.y * imageRect.height());
    };
    const std::vector<SpotRepair::Point> points = repair.points();
    QPainterPath path;
    if (points.size() == 1) {
        path.addEllipse(toView(points.front()), radius, radius);
        return path;
    }
    path.moveTo(toView(points.front()));
    for (std::size_t index = 1; index < points.size(); ++index) path.lineTo(toView(points[index]));
    QPainterPathStroker stroker;
    stroker.setWidth(2 * radius);
    stroker.setCapStyle(Qt::RoundCap);
    stroker.setJoinStyle(Qt::RoundJoin);
    stroker.setMiterLimit(10);
    // One outline around the whole band, without the seams where its pieces overlap.
    return stroker.createStroke(path).simplified();
}

void strokeTwice(QPainter& painter, const QPainterPath& path, QColor outer, double outerWidth,
                 QColor inner, double innerWidth) {
    painter.strokePath(path, QPen(outer, outerWidth));
    painter.strokePath(path, QPen(inner, innerWidth));
}

}  // namespace

void SpotRepairOverlay::paint(QPainter& painter) const {
    if (!(imageRect.width() > 0 && imageRect.height() > 0)) return;
    painter.save();
    painter.setClipRect(imageRect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing);

    std::vector<SpotRepair> items = repairs;
    if (pendingRepair) items.push_back(*pendingRepair);
    for (const SpotRepair& repair : items) {
        QPainterPath shape = repairShape(repair, imageRect);
        shape.setFillRule(Qt::WindingFill);
        if (pendingRepair && repair.id == pendingRepair->id) {
            QColor fill = accent;
            fill.setAlphaF(0.3f);
            painter.fillPath(shape, fill);
        }
        strokeTwice(painter, shape, QColor::fromRgbF(0, 0, 0, 0.35f), 2,
                    QColor::fromRgbF(1, 1, 1, 0.6f), 0.75);
    }

    if (pointer && imageRect.contains(*pointer)) {
        QPainterPath brush;
        brush.addEllipse(*pointer, brushDiameter / 2, brushDiameter / 2);
        strokeTwice(painter, brush, QColor::fromRgbF(0, 0, 0, 0.8f), 3, Qt::white, 1);
    }
    painter.restore();
}

}  // namespace quillmere
