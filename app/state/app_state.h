#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "app/state/background_runner.h"
#include "app/state/edit_clipboard.h"
#include "app/state/edit_layer.h"
#include "app/state/export_scope.h"
#include "app/state/main_executor.h"
#include "app/state/photo_edit_store.h"
#include "app/state/photo_file_edits.h"
#include "app/state/photo_folder_access.h"
#include "app/state/photo_session_state.h"
#include "app/state/preferences.h"
#include "app/state/session_photo.h"
#include "app/state/user_prompts.h"
#include "core/common/error.h"
#include "core/common/uuid.h"
#include "core/decode/photo_format.h"
#include "core/edit/checkpoint_store.h"
#include "core/edit/edit_checkpoint.h"
#include "core/edit/edit_params.h"
#include "core/edit/preset.h"
#include "core/edit/preset_store.h"
#include "core/edit/preset_values.h"
#include "core/edit/spot_repair.h"
#include "core/photo/opened_photo.h"
#include "core/render/display/histogram_builder.h"
#include "core/render/display/histogram_data.h"
#include "core/render/engine/render_engine.h"
#include "core/render/export/export_options.h"

namespace quillmere {

// What the application state works with besides the render engine. Every member left empty gets
// the program's own: the file preset store over the built-in presets, the checkpoint sidecars,
// the desktop clipboard, the edit files in the folder "Edits" of the application folder, queued
// calls on the application's event loop, one low-priority worker each for histograms, thumbnails
// and the reading of a photo's sidecar and embedded record, and the preferences file. Without
// prompts nobody is asked: the open panel shows nothing and no folder can be granted.
struct AppStateCollaborators {
    std::shared_ptr<PresetStore> presetStore = nullptr;
    std::shared_ptr<CheckpointStore> checkpointStore = nullptr;
    std::shared_ptr<EditClipboard> editClipboard = nullptr;
    std::optional<PhotoEditStore> photoEditStore = std::nullopt;
    std::shared_ptr<MainExecutor> mainExecutor = nullptr;
    // Must run one item at a time: the histogram builder serves one call at a time.
    std::shared_ptr<BackgroundRunner> histogramRunner = nullptr;
    // May run items side by side: each thumbnail is made on its own.
    std::shared_ptr<BackgroundRunner> thumbnailRunner = nullptr;
    // Reads what an opened photo's files say of its starting edit (photo_file_edits.h), so that
    // the GUI thread reads no file.
    std::shared_ptr<BackgroundRunner> fileRunner = nullptr;
    std::shared_ptr<Preferences> preferences = nullptr;
    std::shared_ptr<UserPrompts> prompts = nullptr;
};

// The one state of the application: the open photo and its edit, the session of opened photos
// with their cached states, the selection, the comparison switches, the zoom request, the
// spot-repair brush, the preset and checkpoint markers, the busy flags and the error line. Every
// window, view, menu and sheet holds the same instance and reads it; user actions call its
// operations. It lives on the GUI thread and is used there only.
//
// Publication: each observed field announces itself through `changed(field)`.
// - Assigning a value equal to the stored one stores it and announces nothing; a different value
//   is announced.
// - `sessionPhotos`, `photo` and `histogram` are announced on every assignment.
// - A change made in place (inserting into a set, changing one element or member, incrementing a
//   counter) is always announced.
// - After every assignment of `editParams`, an equal one included, the edit's change handler
//   carries the change to the other selected photos and updates the open photo's edited mark.
// - Every assignment of `isSpotRepairActive` that leaves it false clears the stroke in progress.
// Unobserved fields (`sessionStates`, `pendingSelectionEdits`, `baselineParams`, the marker
// snapshots, the generation counters) never announce anything.
class AppState : public QObject {
    Q_OBJECT

  public:
    // The observed fields.
    enum class Field {
        editParams,
        sessionPhotos,
        selectedPhotoIDs,
        exportProgress,
        exportStatus,
        photo,
        xmpLoaded,
        lastError,
        histogram,
        showOriginal,
        showDenoiseOriginal,
        showRecoveryOriginal,
        colorSamplerActive,
        colorTargetChannel,
        selectedPointColor,
        visualizePointColor,
        visualizeColorBand,
        requestedEditLayer,
        disabledEditLayers,
        isRendering,
        renderProgress,
        isInspectingDetail,
        zoomPercent,
        zoomAction,
        zoomRevision,
        isSpotRepairActive,
        spotRepairDraft,
        spotRepairPhotoID,
        spotRepairDiameter,
        spotUndoStack,
        spotRedoStack,
        isOpening,
        isExporting,
        editClipboardRevision,
        checkpoints,
        activeCheckpointID,
        presetFolders,
        lastAppliedPresetID,
        isApplyingEdits,
    };
    Q_ENUM(Field)

    // The zoom the preview is asked to perform.
    enum class ZoomAction { fit, actualSize };
    Q_ENUM(ZoomAction)

    using PhotoURL = std::filesystem::path;

    // The checkpoint actions' error when no photo is open: "No photo is open to export.".
    class ExportError : public Error {
      public:
        enum class Code { noPhotoOpen };

        static ExportError noPhotoOpen();
        Code code() const { return Code::noPhotoOpen; }

      private:
        using Error::Error;
    };

    // Why "Save All Edits" failed: one line per photo ("name: reason"), or the refusal "Wait for
    // the current operation to finish.".
    class SessionError : public Error {
      public:
        enum class Code { failures };

        explicit SessionError(const std::string& text) : Error(text) {}
        Code code() const { return Code::failures; }
    };

    // The brush diameters the open photo allows, in its pixels.
    struct DiameterRange {
        double lowerBound;
        double upperBound;
        bool operator==(const DiameterRange&) const = default;
    };

    // Takes the collaborators and loads the preset folders; opens nothing.
    explicit AppState(std::shared_ptr<RenderEngine> engine,
                      AppStateCollaborators collaborators = {}, QObject* parent = nullptr);
    ~AppState() override;

    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Every file extension the program opens, lower case.
    static const PhotoFormat::ExtensionSet& supportedPhotoExtensions();

    // ---- Collaborators, fixed for the state's life.
    RenderEngine& engine() const { return *engine_; }
    PresetStore& presetStore() const { return *presetStore_; }
    CheckpointStore& checkpointStore() const { return *checkpointStore_; }
    EditClipboard& editClipboard() const { return *editClipboard_; }
    const PhotoEditStore& photoEditStore() const { return photoEditStore_; }

    // ---- Opening photos. Every way of opening ends in `requestOpenPhoto`.
    // Opens the path after the first "--open" of the program's arguments, once per process.
    void openLaunchArgumentIfPresent(const QStringList& arguments);
    // Keeps the local files the program opens, makes sure their folders may be read, adds the new
    // ones to the session (each loading its thumbnail), selects the first and starts opening it;
    // a newer request replaces an open still running. False when nothing was started: busy, no
    // supported file ("Quillmere can open RAW files ..."), or folder access refused.
    bool requestOpenPhoto(const QList<QUrl>& urls);
    // Asks for photos with the open panel and opens them.
    void promptAndOpenPhoto();

    // ---- Batch operations. Each visits the photos one by one through the engine, never stops at
    // one bad photo, opens the open photo again at the end so the engine holds it once more, and
    // reports through `completion` on the GUI thread (at once when it refuses to start).
    // Writes every session photo's edit file; photos never opened are opened only to build their
    // starting edit, with their pending edits. Refused while busy.
    void saveAllEdits(std::function<void(std::optional<SessionError>)> completion);
    // Exports the open, the selected or every photo beside itself (folder "exports") or into
    // `destination`, named after the photo with "_edit", never replacing a file. Shows "k of n ·
    // name" in `exportStatus` and k / n in `exportProgress` while it runs.
    void exportPhotos(ExportScope scope, const ExportOptions& options,
                      std::optional<PhotoURL> destination,
                      std::function<void(BatchExportResult)> completion);
    // "Sync Selected": the open photo's edit, without its spot repairs, to every other selected
    // photo; failures go to the error line.
    void applyCurrentEditsToSelected(std::function<void()> completion);

    // ---- Selection: refused while exporting or applying edits.
    // A click: selects only the photo and opens it; with `extendingSelection` (Ctrl) it toggles.
    void selectPhoto(const PhotoURL& url, bool extendingSelection);
    // The checkbox: adds the photo and opens it, or removes it (opening the first other selected
    // photo when it was the open one). Refused while opening too.
    void togglePhotoSelection(const PhotoURL& url);
    // Selects every session photo; refused while opening too.
    void selectAllPhotos();

    // ---- The open photo and its edit.
    const EditParams& editParams() const { return editParams_; }
    // Assigns the edit (announced when it differs), then runs the change handler.
    void setEditParams(EditParams params);
    // Changes the edit in place, as a slider does: always announced, then the change handler.
    void updateEditParams(const std::function<void(EditParams&)>& change);
    // The open photo as the engine reported it; nothing while no photo is open.
    const std::optional<OpenedPhoto>& photo() const { return photo_; }
    // The open photo's path; follows `photo`.
    std::optional<PhotoURL> photoURL() const;
    // The open photo's starting edit took settings from a Camera Raw XMP sidecar.
    bool xmpLoaded() const { return xmpLoaded_; }

    // ---- The session.
    // In the order the photos were added.
    const std::vector<SessionPhoto>& sessionPhotos() const { return sessionPhotos_; }
    const std::set<PhotoURL>& selectedPhotoIDs() const { return selectedPhotoIDs_; }
    // Partial edits waiting for selected photos never opened, oldest first. Unobserved.
    const std::map<PhotoURL, std::vector<PresetValues>>& pendingSelectionEdits() const {
        return pendingSelectionEdits_;
    }
    // Whether quitting now would lose an edit: a session photo whose live or cached edit differs
    // from what its edit file holds, or that waits with edits carried to it while never opened.
    bool hasUnsavedEdits() const;

    // ---- Batch export progress.
    double exportProgress() const { return exportProgress_; }
    const std::optional<std::string>& exportStatus() const { return exportStatus_; }

    // ---- The error line the main window shows; the window clears it when dismissed.
    const std::optional<std::string>& lastError() const { return lastError_; }
    void setLastError(std::optional<std::string> text);

    // ---- Histogram of the last accepted preview texture.
    const std::optional<HistogramData>& histogram() const { return histogram_; }
    // Always announced.
    void setHistogram(std::optional<HistogramData> histogram);
    // Called by the preview with each newly accepted texture: builds its histogram on the
    // histogram worker and publishes it unless a newer texture arrived meanwhile.
    void onPreviewTexture(std::shared_ptr<Texture> texture);

    // ---- Comparison switches: the whole edit, noise reduction, highlight and shadow recovery.
    bool showOriginal() const { return showOriginal_; }
    void setShowOriginal(bool value);
    bool showDenoiseOriginal() const { return showDenoiseOriginal_; }
    void setShowDenoiseOriginal(bool value);
    bool showRecoveryOriginal() const { return showRecoveryOriginal_; }
    void setShowRecoveryOriginal(bool value);

    // ---- Colour tools of the preview and the colour mixer.
    bool colorSamplerActive() const { return colorSamplerActive_; }
    void setColorSamplerActive(bool value);
    // The mixer channel targeted adjustment drives ("Hue", ...); nothing when it is off.
    const std::optional<std::string>& colorTargetChannel() const { return colorTargetChannel_; }
    void setColorTargetChannel(std::optional<std::string> channel);
    const std::optional<UUID>& selectedPointColor() const { return selectedPointColor_; }
    void setSelectedPointColor(std::optional<UUID> id);
    bool visualizePointColor() const { return visualizePointColor_; }
    void setVisualizePointColor(bool value);
    // The mixer band the preview visualises; -1 for none.
    std::int64_t visualizeColorBand() const { return visualizeColorBand_; }
    void setVisualizeColorBand(std::int64_t band);

    // ---- Edit layers.
    // The layer whose panel the inspector is asked to bring into view.
    const std::optional<EditLayer>& requestedEditLayer() const { return requestedEditLayer_; }
    void setRequestedEditLayer(std::optional<EditLayer> layer);
    // Bypassed layers.
    const std::set<EditLayer>& disabledEditLayers() const { return disabledEditLayers_; }
    // The edit the preview renders: with `showOriginal` the default edit at the neutral white
    // balance keeping only the denoise method; otherwise the edit without noise reduction or
    // recovery while their comparison is on, and with every bypassed layer neutralised.
    EditParams effectiveParams() const;
    // The layers that change the photo, in stack order; bypass and comparisons do not count.
    std::vector<EditLayer> activeEditLayers() const;
    // The open photo's as-shot white balance, or 5500 K and tint 0 without a photo.
    NeutralWhiteBalance neutralWhiteBalance() const;
    // Bypasses the layer, or shows it again; turns every comparison off. Bypassing spot repair
    // turns the brush off.
    void toggleEditLayer(EditLayer layer);
    // Shows the layer again; the inspector calls it whenever it changes the layer's values.
    void enableEditLayer(EditLayer layer);
    // Sets the layer to its neutral values (spot repair: removes every repair, undoably), shows
    // it again and clears the markers that no longer hold.
    void resetEditLayer(EditLayer layer);
    // Toggles the recovery comparison and turns the other two off.
    void toggleRecoveryComparison();
    // Sets the slider of `layer`, one of the slider table's layers, to its reset value: the
    // as-shot white balance, else 0; shows the layer again and clears the markers that no longer
    // hold.
    void resetSlider(EditLayer layer);
    // Back to the open photo's baseline: no stroke, comparison, bypass, spot history or marker.
    void resetAll();
    // The classic sharpening, keeping the RAW-texture switch.
    void applyClassicSharpening();
    // No sharpening at all, the RAW-texture switch included.
    void resetSharpening();

    // ---- Preview rendering, written by the preview.
    bool isRendering() const { return isRendering_; }
    void setIsRendering(bool value);
    // 0 to 1; nothing when unknown.
    const std::optional<double>& renderProgress() const { return renderProgress_; }
    void setRenderProgress(std::optional<double> progress);
    // The preview shows detail, so it renders at full resolution.
    bool isInspectingDetail() const { return isInspectingDetail_; }
    void setIsInspectingDetail(bool value);
    // The zoom the preview shows, in percent.
    double zoomPercent() const { return zoomPercent_; }
    void setZoomPercent(double percent);

    // ---- Zoom requests: the preview performs `zoomAction` once per new `zoomRevision`.
    ZoomAction zoomAction() const { return zoomAction_; }
    std::int64_t zoomRevision() const { return zoomRevision_; }
    // Sets the action and always increments the revision, so a repeated request is performed
    // again.
    void requestZoom(ZoomAction action);

    // ---- Spot-repair brush.
    bool isSpotRepairActive() const { return isSpotRepairActive_; }
    // Leaving it false (also when it already was) discards the stroke in progress.
    void setIsSpotRepairActive(bool value);
    const std::optional<SpotRepair>& spotRepairDraft() const { return spotRepairDraft_; }
    // Brush diameter in pixels of the open photo.
    double spotRepairDiameter() const { return spotRepairDiameter_; }
    // As the inspector's size slider sets it, within the range; a value that is not finite is
    // ignored.
    void setSpotRepairDiameter(double diameter);
    // Newest last; at most 100 undo entries.
    const std::vector<SpotRepairList>& spotUndoStack() const { return spotUndoStack_; }
    const std::vector<SpotRepairList>& spotRedoStack() const { return spotRedoStack_; }
    // A stroke in progress can always be undone (discarded); redo waits for it to end.
    bool canUndoSpotRepair() const;
    bool canRedoSpotRepair() const;
    // From min(0.1 s, 2) to min(0.15 s, 300) for the shorter side s of the open photo (4000
    // without one).
    DiameterRange spotRepairDiameterRange() const;
    // Turns the brush on (showing the repairs) or off; nothing without a photo or while opening.
    void toggleSpotRepair();
    // Multiplies the diameter, kept within the range; nothing during a stroke.
    void resizeSpotRepair(double factor);
    // Starts a stroke at an image-normalised point (x right, y down, 0 to 1) when the brush may
    // paint: on, the original not shown, not opening, a photo open, spot repair not bypassed. A
    // point off the image starts nothing.
    void beginSpotRepairStroke(SpotRepair::Point point);
    // Adds the point to the stroke when it lies on the image and is at least 15 % of the brush
    // radius (in photo pixels) from the last one; `includeEndpoint` takes any point that moved.
    void extendSpotRepairStroke(SpotRepair::Point point, bool includeEndpoint);
    // Ends the stroke, first taking `point` as its end, and commits it as one repair when it is
    // still on the photo it began on and no open is running; otherwise drops it.
    void endSpotRepairStroke(std::optional<SpotRepair::Point> point = std::nullopt);
    // During a stroke, only discards it.
    void undoSpotRepair();
    void redoSpotRepair();

    // ---- Busy flags.
    bool isOpening() const { return isOpening_; }
    bool isExporting() const { return isExporting_; }
    bool isApplyingEdits() const { return isApplyingEdits_; }
    // Any of the three: the photo actions of the menus, the toolbar and the filmstrip wait.
    bool isBusy() const { return isOpening_ || isExporting_ || isApplyingEdits_; }

    // ---- Clipboard: counts copies and pastes so views re-check what can be pasted.
    std::int64_t editClipboardRevision() const { return editClipboardRevision_; }
    // A photo is open, no open is running and the clipboard holds an edit. Views re-check it
    // whenever `editClipboardRevision` changes.
    bool canPasteEdit() const;
    // Copies the open photo's edit without its spot repairs; a failure's text goes to the error
    // line.
    void copyEditToClipboard();
    // Pastes onto the open photo (keeping its spot repairs, Natural where Detail is not offered)
    // and hands everything reusable to the other selected photos; shows every layer, ends the
    // comparisons, clears both markers. A failure reads "Could not paste edit: " and the reason.
    void pasteEditFromClipboard();

    // ---- Checkpoints of the open photo and the checkpoint marker.
    const std::vector<EditCheckpoint>& checkpoints() const { return checkpoints_; }
    const std::optional<UUID>& activeCheckpointID() const { return activeCheckpointID_; }
    // Loads the open photo's checkpoints; a failure empties the list and puts "Could not load
    // checkpoints: " and the reason in the error line.
    void reloadCheckpoints();
    // Saves the edit under the trimmed name and marks it. Throws ExportError without a photo,
    // CheckpointStoreError for a blank name or a failing store (then nothing changes).
    void saveCheckpoint(const std::string& name);
    // Installs the checkpoint's edit on the open photo alone, ends comparisons, bypasses, the
    // brush and the spot history, and marks the checkpoint.
    void restoreCheckpoint(const EditCheckpoint& checkpoint);
    // Throws ExportError without a photo, store errors unchanged.
    void deleteCheckpoint(const EditCheckpoint& checkpoint);
    // Clears the checkpoint marker unless the edit still equals the edit it marked.
    void clearAppliedCheckpoint();

    // ---- Presets and the preset marker.
    const std::vector<PresetFolder>& presetFolders() const { return presetFolders_; }
    const std::optional<std::string>& lastAppliedPresetID() const { return lastAppliedPresetID_; }
    // Loads the preset folders from the preset store; a failure keeps the old list and puts
    // "Could not load presets: " and the reason in the error line.
    void reloadPresets();
    // Applies the preset to the open photo and, once, to the other selected photos; shows every
    // layer again and marks the preset. Nothing while busy.
    void applyPreset(const Preset& preset);
    // Saves the chosen groups of the edit as a preset. Throws PresetStoreError: noSelection when
    // no group is chosen, the store's errors unchanged.
    void saveCurrentAsPreset(const std::string& name, const std::string& folder,
                             const PresetCaptureOptions& options);
    // Throws the store's errors unchanged.
    void deletePreset(const Preset& preset);
    // The names of the user's preset folders, in order.
    std::vector<std::string> userFolderNames() const;
    // Clears the preset marker unless the edit still equals the edit it marked.
    void clearAppliedPreset();

  signals:
    void changed(AppState::Field field);

  private:
    friend class AppStateTesting;
    friend class BatchJob;
    friend class SaveAllEditsJob;
    friend class BatchExportJob;
    friend class SyncSelectedJob;

    // Work handed back to the GUI thread from elsewhere; it runs only while the state exists.
    MainPost<AppState> mainPost();

    // Stores `value` and announces `field` unless it equals the stored value.
    template <class T, class U>
    void assign(T& stored, U&& value, Field field) {
        const bool same = stored == value;
        stored = std::forward<U>(value);
        if (!same) emit changed(field);
    }

    // The change handler of `editParams`, with the value before the assignment.
    void editParamsDidChange(const EditParams& previous);
    // Carries one partial edit to every other selected photo, when the open photo is selected.
    void applyToOtherSelectedPhotos(const PresetValues& delta);
    // The open photo's live fields into its cached session state, ending a stroke first.
    void captureCurrentPhoto();
    // The cached state, else the saved edit file, else the defaults with the camera's white
    // balance, a Camera Raw sidecar and an embedded edit record (`edits`, read before). A state
    // read from the file or computed afresh is remembered in `storedEdits_`. Throws when the edit
    // file cannot be read or decoded.
    PhotoSessionState initialStateForPhoto(const OpenedPhoto& photo, const PhotoFileEdits& edits);
    // Has `next` run on the GUI thread with what the photo's files say of its starting edit, read
    // on the file runner; at once, with nothing read, when the photo has a cached state, which
    // its starting state then is.
    void withFileEdits(const OpenedPhoto& photo,
                       std::function<void(AppState&, const PhotoFileEdits&)> next);
    // The open of `url` for request `generation`, run on the GUI thread.
    void openPhoto(const PhotoURL& url, std::uint64_t generation);
    // The engine's answer for that open.
    void finishOpen(const PhotoURL& url, std::uint64_t generation,
                    RenderResult<OpenedPhoto> result);
    // The photo the engine opened for that open, with what its files say, once read; dropped when
    // a newer open started meanwhile.
    void installOpen(const PhotoURL& url, std::uint64_t generation, const OpenedPhoto& photo,
                     const PhotoFileEdits& edits);
    // Installs the state of the photo the engine opened.
    void installOpenedPhoto(const OpenedPhoto& photo, PhotoSessionState state);
    // Reports a failed open unless it was cancelled or superseded.
    void reportOpenFailure(const PhotoURL& url, std::uint64_t generation, std::exception_ptr error);
    // Ends an open: only the newest one clears `isOpening`.
    void endOpen(std::uint64_t generation);
    // Makes the photo's thumbnail on the thumbnail worker.
    void loadThumbnail(const PhotoURL& url);
    void setThumbnail(QImage image, const PhotoURL& url);
    // The photo's cached state, built as an open builds it when there is none yet (starting
    // state, pending edits replayed, Natural where Detail is not offered) and kept. Throws as
    // `initialStateForPhoto`.
    PhotoSessionState& sessionStateForOpenedPhoto(const OpenedPhoto& photo,
                                                  const PhotoFileEdits& edits);
    // Opens `url` through the engine for a batch and continues on the GUI thread, with what the
    // photo's files say of its starting edit (withFileEdits; nothing for a failed open).
    void openForBatch(
        const PhotoURL& url,
        std::function<void(AppState&, RenderResult<OpenedPhoto>, const PhotoFileEdits&)> next);
    // Opens a photo and keeps the selection as it was.
    void activatePhoto(const PhotoURL& url);
    // Spot repairs are about to change visibly: comparisons off, the layer shown.
    void revealSpotRepairs();
    // Commits a new spot-repair list with an undo entry (nothing when it equals the current one).
    void replaceSpotRepairs(std::vector<SpotRepair> repairs);
    // Sets the spot-repair list, in place, and what every undo step does after it.
    void installSpotRepairs(std::vector<SpotRepair> repairs);
    // The three comparison switches off.
    void endComparisons();
    // `disabledEditLayers` changed in place.
    void insertDisabledLayer(EditLayer layer);
    void removeDisabledLayer(EditLayer layer);
    void clearDisabledLayers();
    // Both markers and their snapshots cleared.
    void clearMarkers();
    // Natural where `photo` offers no Detail denoiser, whatever the edit asks for.
    static void useOfferedDenoiser(EditParams& params, const OpenedPhoto& photo);
    // The open photo offers no Detail denoiser.
    bool photoLacksDetail() const;
    // Counts one copy or paste.
    void bumpClipboardRevision();
    // One more, wrapping around instead of overflowing.
    static std::int64_t incremented(std::int64_t counter) {
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(counter) + 1);
    }
    // Sets one session photo's edited mark, in place.
    void markSessionPhoto(std::size_t index, bool isEdited);
    // The session photo with `url`.
    std::optional<std::size_t> sessionPhotoIndex(const PhotoURL& url) const;

    // Field order is the order of initialisation.
    EditParams editParams_;
    std::vector<SessionPhoto> sessionPhotos_;
    std::set<PhotoURL> selectedPhotoIDs_;
    double exportProgress_ = 0;
    std::optional<std::string> exportStatus_;
    // The cached state of every photo opened and left in this run.
    std::map<PhotoURL, PhotoSessionState> sessionStates_;
    bool suppressSelectionEdits_ = false;
    std::map<PhotoURL, std::vector<PresetValues>> pendingSelectionEdits_;
    PhotoEditStore photoEditStore_;
    std::optional<OpenedPhoto> photo_;
    bool xmpLoaded_ = false;
    std::optional<std::string> lastError_;
    std::optional<HistogramData> histogram_;
    bool showOriginal_ = false;
    bool showDenoiseOriginal_ = false;
    bool showRecoveryOriginal_ = false;
    bool colorSamplerActive_ = false;
    std::optional<std::string> colorTargetChannel_;
    std::optional<UUID> selectedPointColor_;
    bool visualizePointColor_ = false;
    std::int64_t visualizeColorBand_ = -1;
    std::optional<EditLayer> requestedEditLayer_;
    std::set<EditLayer> disabledEditLayers_;
    bool isRendering_ = false;
    std::optional<double> renderProgress_;
    bool isInspectingDetail_ = false;
    double zoomPercent_ = 0;
    ZoomAction zoomAction_ = ZoomAction::fit;
    std::int64_t zoomRevision_ = 0;
    bool isSpotRepairActive_ = false;
    std::optional<SpotRepair> spotRepairDraft_;
    std::optional<PhotoURL> spotRepairPhotoID_;
    double spotRepairDiameter_ = 60;
    std::vector<SpotRepairList> spotUndoStack_;
    std::vector<SpotRepairList> spotRedoStack_;
    bool isOpening_ = false;
    bool isExporting_ = false;
    std::shared_ptr<RenderEngine> engine_;
    std::shared_ptr<PresetStore> presetStore_;
    std::shared_ptr<CheckpointStore> checkpointStore_;
    std::shared_ptr<EditClipboard> editClipboard_;
    std::int64_t editClipboardRevision_ = 0;
    std::vector<EditCheckpoint> checkpoints_;
    std::optional<UUID> activeCheckpointID_;
    std::optional<EditParams> checkpointParamsSnapshot_;
    std::vector<PresetFolder> presetFolders_;
    std::optional<std::string> lastAppliedPresetID_;
    std::optional<EditParams> appliedParamsSnapshot_;
    std::shared_ptr<HistogramBuilder> histogramBuilder_;
    std::uint64_t histogramGeneration_ = 0;
    // The running open's cancellation.
    std::stop_source openStop_;
    std::uint64_t openGeneration_ = 0;
    bool didHandleLaunchArgument_ = false;
    // The reference edit: the open photo counts as edited while the edit differs from it.
    EditParams baselineParams_;
    bool isApplyingEdits_ = false;
    // What each photo's edit file holds as far as this run knows: the edit read from it or last
    // written to it; for a photo without one, the starting edit its next open computes again, so
    // that a photo opened and never changed has nothing to lose. Unobserved.
    std::map<PhotoURL, StoredPhotoEdit> storedEdits_;

    std::shared_ptr<MainExecutor> mainExecutor_;
    std::shared_ptr<BackgroundRunner> histogramRunner_;
    std::shared_ptr<BackgroundRunner> thumbnailRunner_;
    std::shared_ptr<BackgroundRunner> fileRunner_;
    std::shared_ptr<UserPrompts> prompts_;
    PhotoFolderAccess photoFolderAccess_;
    // Work posted back to the GUI thread checks that this still exists.
    std::shared_ptr<void> alive_;
};

}  // namespace quillmere
