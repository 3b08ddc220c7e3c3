#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

namespace quillmere {

// Where the preview puts the photo: fitted to the view, or at an explicit zoom and position.
//
// Coordinates are view points, origin at the view's top-left corner, y downward. The image
// occupies (topLeft, imageSize × zoom); `zoom` is view points per image pixel. The user sees the
// zoom as a percentage of device pixels, zoom × backing scale × 100, so 100 % puts one image pixel
// on one device pixel.
//
// In fit mode the image is fitted into the view and centred again whenever it is laid out, so it
// follows every resize; an explicit zoom keeps its zoom and is only kept on screen. Every
// operation that works in image coordinates first turns the fit into explicit numbers
// (`materializeFitState`), so a fitted view then behaves like an explicit zoom of that value.
//
// The geometry uses the photo's own pixel size when it knows one, so a fit-size and a full-size
// render of the same photo occupy the same rectangle.
class PreviewGeometry {
  public:
    // What the state is told after a frame: the zoom in percent, and whether the user is looking
    // at detail (anything but the fit), which makes the preview render at full resolution.
    struct ZoomReport {
        bool detail = false;
        double percent = 0;
        bool operator==(const ZoomReport&) const = default;
    };

    // The view's bounds, in view points.
    void setViewSize(QSizeF size) { viewSize_ = size; }
    // Device pixels per view point; it sets the zoom limits (2 % to 800 %) and what 100 % is.
    void setBackingScale(double scale) { backingScale_ = scale; }

    // The open photo's pixel size; an empty size when there is none.
    void setSourceSize(QSizeF size) { sourceSize_ = size; }
    // The shown texture's pixel size; nothing while no texture is shown. Without a texture the
    // view draws no image and every zoom, pan and hit test does nothing.
    void setTextureSize(std::optional<QSizeF> size) { textureSize_ = size; }
    bool hasImage() const { return textureSize_.has_value(); }
    // The photo's size when known, else the texture's, else empty.
    QSizeF imageSize() const;

    bool fitMode() const { return fitMode_; }
    // Fits the image again (a new photo, a "fit" request, a double click).
    void fit() { fitMode_ = true; }
    double zoom() const { return zoom_; }
    QPointF topLeft() const { return topLeft_; }

    // The zoom that fits the image into the view; 1 when the image or the view is empty.
    double fitZoom() const;
    // In fit mode, writes the fit zoom and the centred origin into `zoom` and `topLeft`.
    void materializeFitState();
    // Multiplies the zoom by `factor` about `around`, which stays over the same image point, within
    // the limits. Leaves fit mode only when the zoom really changes. Does nothing without an image,
    // in an empty view or for a factor that is not a finite positive number.
    void zoomBy(double factor, QPointF around);
    // 100 % about `around`, or about the view's centre; always leaves fit mode.
    void showActualSize(std::optional<QPointF> around);
    // Keeps the image on screen: an axis on which it is smaller than the view is centred, and on
    // the others no gap opens at either edge.
    void clampTopLeft();
    // The image at the current zoom (the fit zoom in fit mode) is wider or taller than the view.
    bool zoomedLargerThanView() const;
    // Moves the image by `delta` and leaves fit mode; false, and nothing moves, without an image or
    // when the image is fitted and so cannot move. The next layout clamps the position.
    bool pan(QPointF delta);
    // The image-normalised position under `point` (0 to 1 on both axes, bounds included, y
    // downward), nothing off the image.
    std::optional<QPointF> normalizedImagePoint(QPointF point);
    // The image's rectangle in view points.
    QRectF imageRect();

    // Lays out one frame: fits or clamps. Gives the image's rectangle, or nothing when there is no
    // image to draw or the view is empty.
    std::optional<QRectF> layoutFrame();
    // After a drawn frame: the report to send when the percentage moved by more than 0.05 points
    // or the fit changed since the last report. `drawableScale` is device pixels per view point
    // of what was drawn.
    std::optional<ZoomReport> reportFrame(double drawableScale);

  private:
    QSizeF viewSize_;
    double backingScale_ = 2;
    QSizeF sourceSize_;
    std::optional<QSizeF> textureSize_;
    bool fitMode_ = true;
    double zoom_ = 1;
    QPointF topLeft_;
    double lastReportedZoom_ = -1;
    bool lastReportedDetail_ = false;
};

}  // namespace quillmere
