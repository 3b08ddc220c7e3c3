// Opening photos: the request, the open itself with its generation checks, the starting state of
// a photo, and the thumbnails of the session.

#include <QFileInfo>
#include <exception>

#include "app/state/app_state.h"
#include "app/state/standardized_path.h"
#include "core/photo/path_extension.h"
#include "core/render/engine/photo_thumbnail.h"

namespace quillmere {
namespace {

constexpr const char* kUnsupportedFiles =
    "Quillmere can open RAW files from most camera brands, Apple ProRAW/DNG, JPEG, HEIC, and HEIF "
    "photos.";

bool isSupportedPhoto(const std::filesystem::path& path) {
    return AppState::supportedPhotoExtensions().contains(lowercasedExtension(path));
}

}  // namespace

void AppState::openLaunchArgumentIfPresent(const QStringList& arguments) {
    if (didHandleLaunchArgument_) return;
    didHandleLaunchArgument_ = true;
    const qsizetype flag = arguments.indexOf(QStringLiteral("--open"));
    if (flag < 0 || flag + 1 >= arguments.size()) return;
    requestOpenPhoto({QUrl::fromLocalFile(QFileInfo(arguments[flag + 1]).absoluteFilePath())});
}

bool AppState::requestOpenPhoto(const QList<QUrl>& urls) {
    if (isExporting_ || isApplyingEdits_) return false;
    std::vector<PhotoURL> photos;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile()) continue;
        const PhotoURL path = standardizedPath(url.toLocalFile().toStdString());
        if (isSupportedPhoto(path)) photos.push_back(path);
    }
    if (photos.empty()) {
        setLastError(kUnsupportedFiles);
        return false;
    }
    try {
        if (!photoFolderAccess_.authorize(photos)) return false;
    } catch (const std::exception& error) {
        setLastError(error.what());
        return false;
    }
    captureCurrentPhoto();
    for (const PhotoURL& photo : photos) {
        if (sessionPhotoIndex(photo)) continue;
        SessionPhoto entry;
        entry.url = photo;
        sessionPhotos_.push_back(std::move(entry));
        emit changed(Field::sessionPhotos);
        loadThumbnail(photo);
    }
    assign(selectedPhotoIDs_, std::set<PhotoURL>{photos.front()}, Field::selectedPhotoIDs);
    const std::uint64_t generation = ++openGeneration_;
    openStop_.request_stop();
    openStop_ = std::stop_source();
    assign(isOpening_, true, Field::isOpening);
    mainPost()(
        [url = photos.front(), generation](AppState& state) { state.openPhoto(url, generation); });
    return true;
}

void AppState::promptAndOpenPhoto() {
    if (!prompts_) return;
    std::vector<std::string> extensions;
    for (const std::string& extension : supportedPhotoExtensions()) {
        extensions.push_back(extension);
        extensions.push_back(QString::fromStdString(extension).toUpper().toStdString());
    }
    QList<QUrl> chosen;
    for (const PhotoURL& path : prompts_->chooseFilesToOpen(extensions)) {
        chosen.append(QUrl::fromLocalFile(QString::fromStdString(path.string())));
    }
    if (!chosen.isEmpty()) requestOpenPhoto(chosen);
}

void AppState::captureCurrentPhoto() {
    endSpotRepairStroke();
    const auto url = photoURL();
    if (!url) return;
    sessionStates_[*url] = PhotoSessionState{
        .params = editParams_,
        .baseline = baselineParams_,
        .xmpLoaded = xmpLoaded_,
        .activeCheckpointID = activeCheckpointID_,
        .checkpointSnapshot = checkpointParamsSnapshot_,
        .presetID = lastAppliedPresetID_,
        .presetSnapshot = appliedParamsSnapshot_,
        .undo = spotUndoStack_,
        .redo = spotRedoStack_,
    };
}

void AppState::endOpen(std::uint64_t generation) {
    if (generation == openGeneration_) assign(isOpening_, false, Field::isOpening);
}

void AppState::openPhoto(const PhotoURL& url, std::uint64_t generation) {
    if (generation != openGeneration_ || openStop_.stop_requested()) return;
    setLastError(std::nullopt);
    assign(isOpening_, true, Field::isOpening);
    if (!isSupportedPhoto(url)) {
        setLastError(kUnsupportedFiles);
        endOpen(generation);
        return;
    }
    setHistogram(std::nullopt);
    endComparisons();
    clearDisabledLayers();
    setIsInspectingDetail(false);
    requestZoom(ZoomAction::fit);
    engine_->open(url, openStop_.get_token(),
                  [post = mainPost(), url, generation](RenderResult<OpenedPhoto> result) {
                      post([url, generation, result = std::move(result)](AppState& state) mutable {
                          state.finishOpen(url, generation, std::move(result));
                      });
                  });
}

void AppState::finishOpen(const PhotoURL& url, std::uint64_t generation,
                          RenderResult<OpenedPhoto> result) {
    if (!result.hasValue()) {
        reportOpenFailure(url, generation, result.error());
        return;
    }
    if (generation != openGeneration_ || openStop_.stop_requested()) return;
    withFileEdits(result.value(), [url, generation, photo = result.value()](
                                      AppState& state, const PhotoFileEdits& edits) {
        state.installOpen(url, generation, photo, edits);
    });
}

void AppState::installOpen(const PhotoURL& url, std::uint64_t generation, const OpenedPhoto& photo,
                           const PhotoFileEdits& edits) {
    if (generation != openGeneration_ || openStop_.stop_requested()) return;
    // The inspector stayed live while the engine worked: edits made meanwhile belong to the
    // photo still shown, and must reach its cached state before anything replaces it.
    if (photoURL()) captureCurrentPhoto();
    PhotoSessionState state;
    try {
        state = initialStateForPhoto(photo, edits);
    } catch (...) {
        reportOpenFailure(url, generation, std::current_exception());
        return;
    }
    installOpenedPhoto(photo, std::move(state));
    endOpen(generation);
}

void AppState::withFileEdits(const OpenedPhoto& photo,
                             std::function<void(AppState&, const PhotoFileEdits&)> next) {
    if (sessionStates_.contains(photo.id.url)) {
        next(*this, {});
        return;
    }
    fileRunner_->run([photo, next = std::move(next), post = mainPost()] {
        post([next, edits = readPhotoFileEdits(photo)](AppState& state) { next(state, edits); });
    });
}

void AppState::reportOpenFailure(const PhotoURL& url, std::uint64_t generation,
                                 std::exception_ptr error) {
    const bool current = generation == openGeneration_ && !openStop_.stop_requested();
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
    } catch (const std::exception& failure) {
        if (current) {
            setLastError("Could not open " + url.filename().string() + ": " + failure.what());
        }
    }
    endOpen(generation);
}

void AppState::installOpenedPhoto(const OpenedPhoto& photo, PhotoSessionState state) {
    const PhotoURL url = photo.id.url;
    if (const auto pending = pendingSelectionEdits_.find(url);
        pending != pendingSelectionEdits_.end()) {
        for (const PresetValues& values : pending->second) {
            state.params = applying(state.params, values);
        }
    }
    useOfferedDenoiser(state.params, photo);
    sessionStates_[url] = state;
    pendingSelectionEdits_.erase(url);

    photo_ = photo;
    emit changed(Field::photo);
    baselineParams_ = state.baseline;
    setEditParams(state.params);
    assign(xmpLoaded_, state.xmpLoaded, Field::xmpLoaded);
    reloadCheckpoints();
    assign(activeCheckpointID_, state.activeCheckpointID, Field::activeCheckpointID);
    checkpointParamsSnapshot_ = state.checkpointSnapshot;
    assign(lastAppliedPresetID_, state.presetID, Field::lastAppliedPresetID);
    appliedParamsSnapshot_ = state.presetSnapshot;
    setIsSpotRepairActive(false);
    assign(spotUndoStack_, state.undo, Field::spotUndoStack);
    assign(spotRedoStack_, state.redo, Field::spotRedoStack);
    captureCurrentPhoto();
    resizeSpotRepair(1.0);
}

PhotoSessionState AppState::initialStateForPhoto(const OpenedPhoto& photo,
                                                 const PhotoFileEdits& edits) {
    const PhotoURL& url = photo.id.url;
    if (const auto cached = sessionStates_.find(url); cached != sessionStates_.end()) {
        return cached->second;
    }
    if (auto saved = photoEditStore_.savedState(url)) {
        storedEdits_[url] = saved->stored();
        return std::move(*saved);
    }

    EditParams working = edits.sidecar.value_or(defaultEditOf(photo));
    useOfferedDenoiser(working, photo);
    working.denoise = 0;

    PhotoSessionState state;
    state.params = working;
    // A record whose edit is not yet in the pixels is the photo's edit, judged against the
    // defaults, so the photo opens marked edited.
    if (edits.record && !edits.record->editsAppliedToPixels)
        state.params = edits.record->parameters;
    state.baseline = working;
    state.xmpLoaded = edits.sidecar.has_value();
    storedEdits_[url] = state.stored();
    return state;
}

void AppState::loadThumbnail(const PhotoURL& url) {
    thumbnailRunner_->run([url, post = mainPost()] {
        std::optional<Rgb8Image> thumbnail = photoThumbnail(url);
        if (!thumbnail) return;
        QImage image(thumbnail->rgb.data(), thumbnail->width, thumbnail->height,
                     thumbnail->width * 3, QImage::Format_RGB888);
        // The copy owns its pixels; the thumbnail's buffer goes with this job.
        post([url, image = image.copy()](AppState& state) { state.setThumbnail(image, url); });
    });
}

void AppState::setThumbnail(QImage image, const PhotoURL& url) {
    const auto index = sessionPhotoIndex(url);
    if (!index) return;
    sessionPhotos_[*index].thumbnail = std::move(image);
    emit changed(Field::sessionPhotos);
}

}  // namespace quillmere
