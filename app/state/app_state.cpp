// The application state's fields, construction, publication, zoom requests and histograms.

#include "app/state/app_state.h"

#include <algorithm>
#include <thread>

#include "app/state/system_edit_clipboard.h"
#include "core/edit/built_in_presets.h"
#include "core/edit/file_checkpoint_store.h"
#include "core/edit/file_preset_store.h"

namespace quillmere {
namespace {

// As many thumbnails at once as the machine has logical processors: each RAW photo's is made by a
// reader of its own, which the reader room admits by the memory it claims.
unsigned thumbnailsAtOnce() { return std::max(1u, std::thread::hardware_concurrency()); }

// The histogram samples every fourth pixel in each direction.
constexpr std::int64_t kHistogramStride = 4;

template <class T, class MakeDefault>
std::shared_ptr<T> orDefault(std::shared_ptr<T> given, MakeDefault makeDefault) {
    return given ? std::move(given) : makeDefault();
}

}  // namespace

AppState::AppState(std::shared_ptr<RenderEngine> engine, AppStateCollaborators collaborators,
                   QObject* parent)
    : QObject(parent),
      photoEditStore_(collaborators.photoEditStore ? std::move(*collaborators.photoEditStore)
                                                   : PhotoEditStore()),
      engine_(std::move(engine)),
      presetStore_(orDefault(std::move(collaborators.presetStore),
                             [] {
                                 return std::make_shared<FilePresetStore>(
                                     std::nullopt, BuiltInPresets::folders());
                             })),
      checkpointStore_(orDefault(std::move(collaborators.checkpointStore),
                                 [] { return std::make_shared<FileCheckpointStore>(); })),
      editClipboard_(orDefault(std::move(collaborators.editClipboard),
                               [] { return std::make_shared<SystemEditClipboard>(); })),
      histogramBuilder_(std::make_shared<HistogramBuilder>(kHistogramStride)),
      mainExecutor_(orDefault(std::move(collaborators.mainExecutor),
                              [] { return std::make_shared<QtMainExecutor>(); })),
      histogramRunner_(orDefault(std::move(collaborators.histogramRunner),
                                 [] { return std::make_shared<LowPriorityWorker>("Histogram"); })),
      thumbnailRunner_(orDefault(
          std::move(collaborators.thumbnailRunner),
          [] { return std::make_shared<LowPriorityWorker>("Thumbnails", thumbnailsAtOnce()); })),
      fileRunner_(orDefault(std::move(collaborators.fileRunner),
                            [] { return std::make_shared<LowPriorityWorker>("Photo files"); })),
      prompts_(std::move(collaborators.prompts)),
      photoFolderAccess_(orDefault(std::move(collaborators.preferences),
                                   [] { return std::make_shared<Preferences>(); }),
                         prompts_),
      alive_(std::make_shared<int>(0)) {
    reloadPresets();
}

AppState::~AppState() = default;

const PhotoFormat::ExtensionSet& AppState::supportedPhotoExtensions() {
    return PhotoFormat::supportedExtensions();
}

MainPost<AppState> AppState::mainPost() { return {mainExecutor_, *this, alive_}; }

std::optional<AppState::PhotoURL> AppState::photoURL() const {
    if (!photo_) return std::nullopt;
    return photo_->id.url;
}

void AppState::setEditParams(EditParams params) {
    const EditParams previous = editParams_;
    assign(editParams_, std::move(params), Field::editParams);
    editParamsDidChange(previous);
}

void AppState::updateEditParams(const std::function<void(EditParams&)>& change) {
    const EditParams previous = editParams_;
    change(editParams_);
    emit changed(Field::editParams);
    editParamsDidChange(previous);
}

void AppState::setLastError(std::optional<std::string> text) {
    assign(lastError_, std::move(text), Field::lastError);
}

void AppState::setHistogram(std::optional<HistogramData> histogram) {
    histogram_ = std::move(histogram);
    emit changed(Field::histogram);
}

void AppState::onPreviewTexture(std::shared_ptr<Texture> texture) {
    const std::uint64_t generation = ++histogramGeneration_;
    histogramRunner_->run(
        [builder = histogramBuilder_, texture = std::move(texture), generation, post = mainPost()] {
            HistogramData histogram = builder->histogram(texture);
            post([generation, histogram](AppState& state) {
                // A newer texture has arrived since: its histogram is the one to show.
                if (generation == state.histogramGeneration_) state.setHistogram(histogram);
            });
        });
}

void AppState::setShowOriginal(bool value) { assign(showOriginal_, value, Field::showOriginal); }

void AppState::setShowDenoiseOriginal(bool value) {
    assign(showDenoiseOriginal_, value, Field::showDenoiseOriginal);
}

void AppState::setShowRecoveryOriginal(bool value) {
    assign(showRecoveryOriginal_, value, Field::showRecoveryOriginal);
}

void AppState::setColorSamplerActive(bool value) {
    assign(colorSamplerActive_, value, Field::colorSamplerActive);
}

void AppState::setColorTargetChannel(std::optional<std::string> channel) {
    assign(colorTargetChannel_, std::move(channel), Field::colorTargetChannel);
}

void AppState::setSelectedPointColor(std::optional<UUID> id) {
    assign(selectedPointColor_, id, Field::selectedPointColor);
}

void AppState::setVisualizePointColor(bool value) {
    assign(visualizePointColor_, value, Field::visualizePointColor);
}

void AppState::setVisualizeColorBand(std::int64_t band) {
    assign(visualizeColorBand_, band, Field::visualizeColorBand);
}

void AppState::setRequestedEditLayer(std::optional<EditLayer> layer) {
    assign(requestedEditLayer_, layer, Field::requestedEditLayer);
}

void AppState::setIsRendering(bool value) { assign(isRendering_, value, Field::isRendering); }

void AppState::setRenderProgress(std::optional<double> progress) {
    assign(renderProgress_, progress, Field::renderProgress);
}

void AppState::setIsInspectingDetail(bool value) {
    assign(isInspectingDetail_, value, Field::isInspectingDetail);
}

void AppState::setZoomPercent(double percent) { assign(zoomPercent_, percent, Field::zoomPercent); }

void AppState::requestZoom(ZoomAction action) {
    assign(zoomAction_, action, Field::zoomAction);
    zoomRevision_ = incremented(zoomRevision_);
    emit changed(Field::zoomRevision);
}

void AppState::setIsSpotRepairActive(bool value) {
    assign(isSpotRepairActive_, value, Field::isSpotRepairActive);
    if (!isSpotRepairActive_) {
        assign(spotRepairDraft_, std::nullopt, Field::spotRepairDraft);
        assign(spotRepairPhotoID_, std::nullopt, Field::spotRepairPhotoID);
    }
}

std::optional<std::size_t> AppState::sessionPhotoIndex(const PhotoURL& url) const {
    for (std::size_t index = 0; index < sessionPhotos_.size(); ++index) {
        if (sessionPhotos_[index].url == url) return index;
    }
    return std::nullopt;
}

void AppState::markSessionPhoto(std::size_t index, bool isEdited) {
    sessionPhotos_[index].isEdited = isEdited;
    emit changed(Field::sessionPhotos);
}

}  // namespace quillmere
