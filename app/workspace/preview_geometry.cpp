#include "app/workspace/preview_geometry.h"

#include <algorithm>
#include <cmath>

namespace quillmere {
namespace {

bool isFinitePositive(double value) { return std::isfinite(value) && value > 0; }

bool isEmpty(QSizeF size) { return !(size.width() > 0 && size.height() > 0); }

// The origin on one axis of extent `view` for an image of scaled extent `scaled`.
double clampedOrigin(double origin, double scaled, double view) {
    if (scaled <= view) return (view - scaled) / 2;
    return std::min(std::max(origin, view - scaled), 0.0);
}

}  // namespace

QSizeF PreviewGeometry::imageSize() const {
    if (!isEmpty(sourceSize_)) return sourceSize_;
    if (textureSize_) return *textureSize_;
    return {};
}

double PreviewGeometry::fitZoom() const {
    const QSizeF image = imageSize();
    // An empty view would give a zoom of 0, which every later division turns into infinities.
    if (isEmpty(image) || isEmpty(viewSize_)) return 1;
    return std::min(viewSize_.width() / image.width(), viewSize_.height() / image.height());
}

void PreviewGeometry::materializeFitState() {
    if (!fitMode_) return;
    const QSizeF image = imageSize();
    zoom_ = fitZoom();
    topLeft_ = QPointF((viewSize_.width() - image.width() * zoom_) / 2,
                       (viewSize_.height() - image.height() * zoom_) / 2);
}

void PreviewGeometry::zoomBy(double factor, QPointF around) {
    if (!hasImage() || isEmpty(viewSize_) || !isFinitePositive(factor)) return;
    materializeFitState();
    const double z0 = zoom_;
    if (!isFinitePositive(z0)) return;
    const double lower = 0.02 / backingScale_;
    const double upper = 8 / backingScale_;
    const double z = std::min(std::max(factor * z0, lower), upper);
    if (z == z0) return;
    topLeft_ = around - (around - topLeft_) * (z / z0);
    zoom_ = z;
    fitMode_ = false;
}

void PreviewGeometry::showActualSize(std::optional<QPointF> around) {
    if (!hasImage() || isEmpty(viewSize_)) return;
    materializeFitState();
    if (!isFinitePositive(zoom_)) return;
    const QPointF centre(viewSize_.width() / 2, viewSize_.height() / 2);
    zoomBy((1 / backingScale_) / zoom_, around.value_or(centre));
    fitMode_ = false;
}

void PreviewGeometry::clampTopLeft() {
    const QSizeF image = imageSize();
    topLeft_ = QPointF(clampedOrigin(topLeft_.x(), image.width() * zoom_, viewSize_.width()),
                       clampedOrigin(topLeft_.y(), image.height() * zoom_, viewSize_.height()));
}

bool PreviewGeometry::zoomedLargerThanView() const {
    const QSizeF image = imageSize();
    const double z = fitMode_ ? fitZoom() : zoom_;
    return image.width() * z > viewSize_.width() || image.height() * z > viewSize_.height();
}

bool PreviewGeometry::pan(QPointF delta) {
    if (!hasImage()) return false;
    if (fitMode_ && !zoomedLargerThanView()) return false;
    materializeFitState();
    fitMode_ = false;
    topLeft_ += delta;
    return true;
}

std::optional<QPointF> PreviewGeometry::normalizedImagePoint(QPointF point) {
    const QSizeF image = imageSize();
    if (!hasImage() || isEmpty(image)) return std::nullopt;
    materializeFitState();
    const double nx = (point.x() - topLeft_.x()) / (image.width() * zoom_);
    const double ny = (point.y() - topLeft_.y()) / (image.height() * zoom_);
    if (!(nx >= 0 && nx <= 1 && ny >= 0 && ny <= 1)) return std::nullopt;
    return QPointF(nx, ny);
}

QRectF PreviewGeometry::imageRect() {
    materializeFitState();
    return QRectF(topLeft_, imageSize() * zoom_);
}

std::optional<QRectF> PreviewGeometry::layoutFrame() {
    if (!hasImage() || isEmpty(viewSize_)) return std::nullopt;
    if (fitMode_) {
        materializeFitState();
    } else {
        clampTopLeft();
    }
    return imageRect();
}

std::optional<PreviewGeometry::ZoomReport> PreviewGeometry::reportFrame(double drawableScale) {
    const ZoomReport report{.detail = !fitMode_, .percent = zoom_ * drawableScale * 100};
    if (std::abs(report.percent - lastReportedZoom_) <= 0.05 &&
        report.detail == lastReportedDetail_) {
        return std::nullopt;
    }
    lastReportedZoom_ = report.percent;
    lastReportedDetail_ = report.detail;
    return report;
}

}  // namespace quillmere
