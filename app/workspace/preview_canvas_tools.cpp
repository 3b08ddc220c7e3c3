// The canvas's tools on the photo: the colour mixer's eyedropper and targeted adjustment, and
// the spot-repair brush.

#include <QKeyEvent>
#include <string>

#include "app/workspace/preview_canvas.h"

namespace quillmere {

// ---- Colour tools.

bool PreviewCanvas::colorToolTakesClicks() const {
    return (state_.colorSamplerActive() || state_.colorTargetChannel()) && !state_.isRendering();
}

std::optional<ColorSampling::HSBColor> PreviewCanvas::sampledColor(QPointF point) {
    const std::optional<QPointF> imagePoint = layout().normalizedImagePoint(point);
    if (!imagePoint || !colorSampleTexture_) return std::nullopt;
    return ColorSampling::colorAt(*colorSampleTexture_, *imagePoint);
}

void PreviewCanvas::pickColor(QPointF point) {
    const std::optional<ColorSampling::HSBColor> color = sampledColor(point);
    if (!color) return;
    colorDragHue_ = color->hue * 360;
    colorDragPoint_ = point;
    colorGesture_.begin();
    addPointColor(*color);
}

void PreviewCanvas::addPointColor(const ColorSampling::HSBColor& color) {
    if (!state_.colorSamplerActive()) return;
    // A ninth colour is refused and the eyedropper stays on.
    if (state_.editParams().hsl.points.size() >= HSLAdjustments::maximumPointCount) return;
    const PointColor picked(color.hue * 360, color.saturation, color.brightness);
    state_.updateEditParams([&picked](EditParams& edit) { edit.hsl.points.push_back(picked); });
    state_.setSelectedPointColor(picked.id);
    // One click, one colour.
    state_.setColorSamplerActive(false);
}

void PreviewCanvas::dragColor(QPointF point) {
    if (!colorGesture_.mayWrite()) return;
    // Half of the movement to the right plus the movement upward, since the previous event.
    const QPointF moved = point - *colorDragPoint_;
    adjustTargetColor(*colorDragHue_, (moved.x() - moved.y()) * 0.5);
    colorDragPoint_ = point;
}

void PreviewCanvas::adjustTargetColor(double hueDegrees, double delta) {
    if (!state_.colorTargetChannel()) return;
    const std::string channel = *state_.colorTargetChannel();
    // Each band is its own change of the edit, as a slider's would be.
    for (const ColorSampling::BandShare& share : ColorSampling::bandShares(hueDegrees)) {
        state_.updateEditParams([&](EditParams& edit) {
            double& value = ColorSampling::channelValue(edit.hsl, channel, share.band);
            value = ColorSampling::adjustedValue(value, delta, share.weight);
        });
    }
}

void PreviewCanvas::finishColorTools() {
    state_.setColorSamplerActive(false);
    state_.setColorTargetChannel(std::nullopt);
    colorDragHue_.reset();
    colorDragPoint_.reset();
    colorGesture_.finish();
}

// ---- Spot-repair brush.

void PreviewCanvas::spotRepairToolChanged(bool active) {
    if (active) {
        // The brush's keys come here.
        setFocus(Qt::OtherFocusReason);
    } else {
        isRepairGesture_ = false;
    }
    spaceToPan_ = false;
    updateCursor();
    update();
}

void PreviewCanvas::updateCursor() {
    if (!state_.isSpotRepairActive()) {
        unsetCursor();
    } else {
        setCursor(spaceToPan_ ? Qt::OpenHandCursor : Qt::CrossCursor);
    }
}

void PreviewCanvas::movePointer(std::optional<QPointF> point) {
    pointer_ = point;
    if (state_.isSpotRepairActive()) update();
}

std::optional<SpotRepair::Point> PreviewCanvas::repairPoint(QPointF point) {
    const std::optional<QPointF> imagePoint = layout().normalizedImagePoint(point);
    if (!imagePoint) return std::nullopt;
    return SpotRepair::Point{imagePoint->x(), imagePoint->y()};
}

void PreviewCanvas::beginRepairStroke(QPointF point) {
    isRepairGesture_ = true;
    pointer_ = point;
    // A press off the image starts a gesture that paints nothing.
    const std::optional<SpotRepair::Point> start = repairPoint(point);
    repairStrokeLeftImage_ = !start;
    if (start) state_.beginSpotRepairStroke(*start);
    update();
}

void PreviewCanvas::extendRepairStroke(QPointF point) {
    // Once off the image, the stroke takes no further point, even back on it.
    if (!repairStrokeLeftImage_) {
        if (const std::optional<SpotRepair::Point> next = repairPoint(point)) {
            state_.extendSpotRepairStroke(*next, false);
        } else {
            repairStrokeLeftImage_ = true;
        }
    }
    pointer_ = point;
    update();
}

void PreviewCanvas::endRepairStroke(QPointF point) {
    state_.endSpotRepairStroke(repairStrokeLeftImage_ ? std::nullopt : repairPoint(point));
}

bool PreviewCanvas::handleSpotRepairKey(const QKeyEvent& key) {
    const bool shrink = key.text() == "[" || key.key() == Qt::Key_BracketLeft;
    const bool grow = key.text() == "]" || key.key() == Qt::Key_BracketRight;
    if (!shrink && !grow && key.key() != Qt::Key_Space && key.key() != Qt::Key_Escape) {
        return false;
    }
    if (shrink || grow) {
        // Every key-down resizes: a held bracket goes on resizing as the key repeats. (A held
        // Space repeats too; only its release is told apart, in keyReleaseEvent.)
        state_.resizeSpotRepair(shrink ? 1 / 1.2 : 1.2);
    } else if (key.key() == Qt::Key_Escape) {
        state_.setIsSpotRepairActive(false);
    } else if (!isRepairGesture_) {
        spaceToPan_ = true;
        updateCursor();
        update();
    }
    return true;
}

}  // namespace quillmere
