#pragma once

#include <QImage>
#include <QPointF>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <optional>

#include "app/kit/photo_gesture.h"
#include "app/state/app_state.h"
#include "app/state/color_sampling.h"
#include "app/workspace/preview_geometry.h"
#include "app/workspace/spot_repair_overlay.h"
#include "core/render/engine/render_engine.h"

class QMenu;

namespace quillmere {

class StateWatcher;

// The developed photo in the middle of the window, on a plain background, fitted or at any zoom
// from 2 % to 800 %. It is the one receiver of pointer and keyboard input over the photo:
// - the wheel, a touchpad and a pinch zoom about the pointer; a drag pans without ever opening a
//   gap; a double click toggles between the fit and 100 %;
// - the context menu "Photo Edit" and Ctrl+C / Ctrl+V copy and paste the edit;
// - while a colour tool of the colour mixer is on, a click picks a point colour (the eyedropper)
//   or a press and drag moves the mixer bands around the colour under it (targeted adjustment);
//   Escape ends both;
// - while the spot-repair brush is on, a press, drag and release paint one repair, "[" and "]"
//   resize the brush, Space held turns a press into a pan and Escape ends the brush. The repairs,
//   the stroke being painted and the brush are drawn over the photo.
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

    // The same photo rendered without colour adjustments, which the colour tools read; nothing
    // while no colour tool is on.
    void setColorSampleTexture(RenderEngine::TexturePointer texture);

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
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
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
    void release(QPointF point);
    // The pointer moved with no button held, or left the canvas.
    void movePointer(std::optional<QPointF> point);

    // ---- Colour tools.
    // Clicks go to the colour tools: one is on and no render is running (then they navigate).
    bool colorToolTakesClicks() const;
    // The sample texture's colour under a canvas point; nothing off the image or without one.
    std::optional<ColorSampling::HSBColor> sampledColor(QPointF point);
    void pickColor(QPointF point);
    void addPointColor(const ColorSampling::HSBColor& color);
    void dragColor(QPointF point);
    void adjustTargetColor(double hueDegrees, double delta);
    void finishColorTools();

    // ---- Spot-repair brush.
    // The brush was switched on or off.
    void spotRepairToolChanged(bool active);
    void updateCursor();
    // The image-normalised point under a canvas point, as the strokes take it.
    std::optional<SpotRepair::Point> repairPoint(QPointF point);
    void beginRepairStroke(QPointF point);
    void extendRepairStroke(QPointF point);
    void endRepairStroke(QPointF point);
    // Space, Escape, "[" and "]" while the brush is on; false for any other key.
    bool handleSpotRepairKey(const QKeyEvent& key);
    SpotRepairOverlay repairOverlay(const QRectF& imageRect) const;

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

    RenderEngine::TexturePointer colorSampleTexture_;
    // From a colour press to its release: the hue picked, in degrees, and the previous point.
    std::optional<double> colorDragHue_;
    std::optional<QPointF> colorDragPoint_;
    // The colour drag belongs to the photo it began on.
    PhotoGesture colorGesture_;

    // Where the brush outline is drawn; nothing while the pointer is outside.
    std::optional<QPointF> pointer_;
    // Space is held: a press pans instead of painting.
    bool spaceToPan_ = false;
    // A spot-repair press, drag and release is running.
    bool isRepairGesture_ = false;
    // The running stroke went off the image (or began there): it takes no further point.
    bool repairStrokeLeftImage_ = false;
};

}  // namespace quillmere
