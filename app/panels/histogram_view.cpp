#include "app/panels/histogram_view.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <span>

#include "app/style/style.h"

namespace quillmere {
namespace {

// One channel's bins as an area from the bottom edge with its curve on top: bin 0 on the left
// edge, the last bin on the right edge, 0 at the bottom and 1 at the top.
void drawChannel(QPainter& painter, std::span<const float> bins, QColor color, QSizeF size) {
    const std::size_t count = bins.size();
    if (count < 2) return;
    const double w = size.width();
    const double h = size.height();
    const double step = w / static_cast<double>(count - 1);
    QPolygonF curve;
    for (std::size_t index = 0; index < count; ++index) {
        // A bin that is not a number draws as empty.
        const double value = std::isfinite(bins[index]) ? bins[index] : 0.0;
        curve << QPointF(static_cast<double>(index) * step, h - h * value);
    }
    QPainterPath area(QPointF(0, h));
    for (const QPointF& point : curve) area.lineTo(point);
    area.lineTo(w, h);
    area.closeSubpath();
    area.setFillRule(Qt::WindingFill);

    QColor fill = color;
    fill.setAlphaF(0.55f);
    painter.fillPath(area, fill);
    QColor stroke = color;
    stroke.setAlphaF(0.9f);
    painter.setPen(QPen(stroke, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(curve);
}

}  // namespace

HistogramView::HistogramView(int barHeight, QWidget* parent) : QWidget(parent) {
    setObjectName("histogram");
    setFixedHeight(barHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void HistogramView::setData(const std::optional<HistogramData>& data) {
    data_ = data;
    update();
}

void HistogramView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(QRectF(rect()), 6, 6);

    const QRect graph = rect().adjusted(inset, inset, -inset, -inset);
    if (!data_) {
        painter.setFont(textFont(TextStyle::caption2));
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(rect(), Qt::AlignCenter, "Histogram");
        return;
    }
    if (graph.isEmpty()) return;

    // The channels blend with each other on a transparent layer of their own, which then lies
    // over the background as a whole.
    const qreal ratio = devicePixelRatioF();
    QImage layer(graph.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter channels(&layer);
        channels.setRenderHint(QPainter::Antialiasing);
        channels.setCompositionMode(!isDark(palette()) ? QPainter::CompositionMode_Multiply
                                                       : QPainter::CompositionMode_Plus);
        const QSizeF size(graph.size());
        drawChannel(channels, data_->r, QColor(255, 59, 48), size);
        drawChannel(channels, data_->g, QColor(40, 205, 65), size);
        drawChannel(channels, data_->b, QColor(0, 122, 255), size);
    }
    painter.drawImage(graph.topLeft(), layer);
}

}  // namespace quillmere
