#pragma once

#include <QWidget>
#include <memory>

#include "app/state/app_state.h"
#include "app/workspace/render_scheduler.h"

class QLabel;

namespace quillmere {

class BusyIndicator;
class PreviewCanvas;
class StateWatcher;
class StatusPill;

// The middle of the workspace: the developed photo on the canvas (its last good render, also
// after a failed one), a large spinner while a photo opens or its first render is under way, or,
// without a photo, an invitation to open photos. Over the photo lie the zoom badge (zoom,
// comparisons, render progress), under it the mark of a picture that is not the current edit
// (kept from before a failed render), the "Exporting…" pill and the spot-repair brush's hint.
//
// It renders through its RenderScheduler: each change of the edit or of the tools is developed
// after a short pause, and the newest result is shown and handed to the state for its histogram.
// Being shown renders; being hidden cancels.
class PreviewView : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewView(AppState& state, QWidget* parent = nullptr);
    ~PreviewView() override;

    PreviewCanvas& canvas() { return *canvas_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    QWidget* makeEmptyState();
    StatusPill* makeBadge();
    StatusPill* makeOutdatedMark();
    // Shows what the state calls for and the badge's texts.
    void syncFromState();
    void pictureChanged();
    // The background, the canvas and the symbol follow the window's light or dark palette.
    void applyAppearance();
    // Places the spinner, the empty state and the pills over the canvas.
    void layoutOverlays();

    AppState& state_;
    StateWatcher* watcher_;
    PreviewCanvas* canvas_;
    BusyIndicator* spinner_;
    QWidget* emptyState_;
    QLabel* dropZoneSymbol_;
    StatusPill* exportingPill_;
    StatusPill* badge_;
    QLabel* zoomText_;
    QLabel* recoveryText_;
    BusyIndicator* processingSpinner_;
    QLabel* processingText_;
    StatusPill* outdatedMark_;
    QLabel* outdatedSymbol_;
    StatusPill* spotRepairHint_;
    // Last: it renders into the children above.
    std::unique_ptr<RenderScheduler> scheduler_;
};

}  // namespace quillmere
