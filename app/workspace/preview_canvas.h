#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/state/app_state.h"
#include "app/workspace/preview_geometry.h"
#include "core/render/engine/render_engine.h"

class QMenu;

namespace quillmere {

class StateWatcher;

// The developed photo in the middle of the window, on a plain background, fitted or at any zoom
// from 2 % to 800 %. It is the one receiver of pointer and keyboard input over the photo:
// - the wheel, a touchpad and a pinch zoom about the pointer; a drag pans without ever opening a
//   gap; a double click toggles between the fit and 100 %;
// - the context menu "Photo Edit" and Ctrl+C / Ctrl+V copy and paste the edit.
// It reports the zoom it shows back to the state (`zoomPercent`, `isInspectingDetail`) after each
// frame whose zoom moved, and performs each zoom request of the state (`zoomRevision`) once.
//
// The view hosting it owns the rendering: it hands over each developed texture and the window's
// appearance. Everything else the canvas reads from the state, once per event-loop turn.
class PreviewCanvas : public QWidget {
    Q_OBJECT

  public:
    explicit PreviewCanvas(AppState& state, QWidget* parent = nullptr);
    ~PreviewCanvas() override;

    // The developed preview to show (display-encoded, row 0 its bottom row), or nothing for the
    // background alone. A new texture is converted once for display; the same one again only
    // redraws. The zoom and position stay: only another photo returns to the fit.
    void setTexture(RenderEngine::TexturePointer texture);
    const RenderEngine::TexturePointer& texture() const { return texture_; }

    // Light appearance paints the background grey 0.82, dark appearance black.
    void setLightAppearance(bool light);
    bool isLightAppearance() const { return isLightAppearance_; }

    // Where the image lies in the canvas.
    const PreviewGeometry& previewGeometry() const { return geometry_; }

    // The "Photo Edit" menu, enabled as the state allows now; the caller shows and owns it.
    std::unique_ptr<QMenu> editContextMenu();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // Takes over what the canvas shows from the state.
    void syncFromState();
    // The geometry with the canvas's current size and backing scale.
    PreviewGeometry& layout();
    // Device pixels per view point; 2 while the canvas has no window yet.
    double backingScale() const;
    // Zooms about `point` and redraws.
    void zoomAbout(double factor, QPointF point);
    // Tells the state the zoom just drawn, after the frame.
    void postZoomReport(PreviewGeometry::ZoomReport report);

    void press(QPointF point, int clickCount);
    void drag(QPointF point);
    void release();

    AppState& state_;
    StateWatcher* watcher_;
    PreviewGeometry geometry_;

    RenderEngine::TexturePointer texture_;
    // The texture as painted.
    QImage image_;
    bool isLightAppearance_ = false;

    // The photo shown last; another photo returns to the fit.
    std::optional<std::filesystem::path> lastResetToken_;
    std::int64_t lastZoomRevision_ = -1;

    // The previous point of a pan drag.
    std::optional<QPointF> lastDragPoint_;
    bool isRepairGesture_ = false;
};

}  // namespace quillmere
