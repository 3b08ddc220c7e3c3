// Spot-repair strokes, the brush size, and the spot-repair undo history.

#include <algorithm>
#include <cmath>

#include "app/state/app_state.h"

namespace quillmere {
namespace {

// The undo history keeps this many spot-repair lists; the oldest go first.
constexpr std::size_t kMaximumUndoEntries = 100;
// While dragging, a point is kept once it is this fraction of the brush radius from the last.
constexpr double kStrokeSpacing = 0.15;
// The shorter side assumed without a photo, so that the full range of brushes is offered.
constexpr double kShorterSideWithoutPhoto = 4000;

}  // namespace

bool AppState::canUndoSpotRepair() const { return spotRepairDraft_ || !spotUndoStack_.empty(); }

bool AppState::canRedoSpotRepair() const { return !spotRepairDraft_ && !spotRedoStack_.empty(); }

AppState::DiameterRange AppState::spotRepairDiameterRange() const {
    const double shorterSide =
        photo_ ? static_cast<double>(std::min(photo_->pixelWidth, photo_->pixelHeight))
               : kShorterSideWithoutPhoto;
    return {.lowerBound = std::min(0.1 * shorterSide, 2.0),
            .upperBound = std::min(0.15 * shorterSide, 300.0)};
}

void AppState::toggleSpotRepair() {
    if (!photo_ || isOpening_) return;
    setIsSpotRepairActive(!isSpotRepairActive_);
    if (isSpotRepairActive_) revealSpotRepairs();
}

void AppState::revealSpotRepairs() {
    endComparisons();
    removeDisabledLayer(EditLayer::spotRepair);
}

void AppState::resizeSpotRepair(double factor) {
    if (spotRepairDraft_) return;
    const DiameterRange range = spotRepairDiameterRange();
    const double diameter =
        std::min(std::max(factor * spotRepairDiameter_, range.lowerBound), range.upperBound);
    // A factor that is not a number must not leave a brush without a size.
    if (std::isnan(diameter)) return;
    assign(spotRepairDiameter_, diameter, Field::spotRepairDiameter);
}

void AppState::beginSpotRepairStroke(SpotRepair::Point point) {
    if (!isSpotRepairActive_ || showOriginal_ || isOpening_ || !photo_ ||
        disabledEditLayers_.contains(EditLayer::spotRepair)) {
        return;
    }
    const double shorterSide =
        static_cast<double>(std::min(photo_->pixelWidth, photo_->pixelHeight));
    SpotRepair stroke(UUID::random(), point.x, point.y, spotRepairDiameter_ / (2 * shorterSide),
                      {});
    if (!stroke.isValid()) return;
    assign(spotRepairDraft_, std::move(stroke), Field::spotRepairDraft);
    assign(spotRepairPhotoID_, photoURL(), Field::spotRepairPhotoID);
}

void AppState::extendSpotRepairStroke(SpotRepair::Point point, bool includeEndpoint) {
    if (!isSpotRepairActive_ || isOpening_ || showOriginal_ || !photo_ ||
        photoURL() != spotRepairPhotoID_ || !spotRepairDraft_ || !point.isValid()) {
        return;
    }
    SpotRepair stroke = *spotRepairDraft_;
    const SpotRepair::Point last =
        stroke.path.empty() ? SpotRepair::Point{stroke.x, stroke.y} : stroke.path.back();
    const auto width = static_cast<double>(photo_->pixelWidth);
    const auto height = static_cast<double>(photo_->pixelHeight);
    const double distance = std::hypot((point.x - last.x) * width, (point.y - last.y) * height);
    const double spacing = stroke.radius * std::min(width, height) * kStrokeSpacing;
    if (distance > 0 && (includeEndpoint || distance >= spacing)) {
        stroke.path.push_back(point);
        assign(spotRepairDraft_, std::move(stroke), Field::spotRepairDraft);
    }
}

void AppState::endSpotRepairStroke(std::optional<SpotRepair::Point> point) {
    if (point) extendSpotRepairStroke(*point, true);
    if (!spotRepairDraft_) return;
    SpotRepair stroke = *spotRepairDraft_;
    const std::optional<PhotoURL> strokePhoto = spotRepairPhotoID_;
    assign(spotRepairDraft_, std::nullopt, Field::spotRepairDraft);
    assign(spotRepairPhotoID_, std::nullopt, Field::spotRepairPhotoID);
    // A stroke belongs to the photo it was painted on; anywhere else it is dropped.
    if (photoURL() != strokePhoto || isOpening_) return;
    std::vector<SpotRepair> repairs = editParams_.spotRepairs;
    repairs.push_back(std::move(stroke));
    replaceSpotRepairs(std::move(repairs));
}

void AppState::replaceSpotRepairs(std::vector<SpotRepair> repairs) {
    assign(spotRepairDraft_, std::nullopt, Field::spotRepairDraft);
    assign(spotRepairPhotoID_, std::nullopt, Field::spotRepairPhotoID);
    if (repairs == editParams_.spotRepairs) return;
    spotUndoStack_.push_back(editParams_.spotRepairs);
    if (spotUndoStack_.size() > kMaximumUndoEntries) spotUndoStack_.erase(spotUndoStack_.begin());
    emit changed(Field::spotUndoStack);
    assign(spotRedoStack_, std::vector<SpotRepairList>{}, Field::spotRedoStack);
    installSpotRepairs(std::move(repairs));
}

void AppState::installSpotRepairs(std::vector<SpotRepair> repairs) {
    updateEditParams([&](EditParams& edit) { edit.spotRepairs = std::move(repairs); });
    revealSpotRepairs();
    clearAppliedPreset();
    clearAppliedCheckpoint();
}

void AppState::undoSpotRepair() {
    if (spotRepairDraft_) {
        assign(spotRepairDraft_, std::nullopt, Field::spotRepairDraft);
        assign(spotRepairPhotoID_, std::nullopt, Field::spotRepairPhotoID);
        return;
    }
    if (spotUndoStack_.empty()) return;
    SpotRepairList previous = std::move(spotUndoStack_.back());
    spotUndoStack_.pop_back();
    emit changed(Field::spotUndoStack);
    spotRedoStack_.push_back(editParams_.spotRepairs);
    emit changed(Field::spotRedoStack);
    installSpotRepairs(std::move(previous));
}

void AppState::redoSpotRepair() {
    if (spotRepairDraft_ || spotRedoStack_.empty()) return;
    SpotRepairList next = std::move(spotRedoStack_.back());
    spotRedoStack_.pop_back();
    emit changed(Field::spotRedoStack);
    // No trimming: redo never makes the history longer than it was before the undo.
    spotUndoStack_.push_back(editParams_.spotRepairs);
    emit changed(Field::spotUndoStack);
    installSpotRepairs(std::move(next));
}

}  // namespace quillmere
