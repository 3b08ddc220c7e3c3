// The canvas's display: state sync, textures, painting, zoom reports and the edit menu.

#include "app/workspace/preview_canvas.h"

#include <QMenu>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>
#include <algorithm>
#include <new>

#include "app/state/follow/state_watcher.h"
#include "core/render/display/display_rgb8.h"

namespace quillmere {
namespace {

// The texture as the 8-bit image painted for it, top row first, over the converted pixels
// themselves rather than a copy. A null image when there is no memory for it.
QImage displayImage(const Texture& texture) {
    try {
        auto pixels = std::make_unique<Rgb8Image>(displayRgb8(texture));
        QImage image(
            pixels->rgb.data(), pixels->width, pixels->height,
            static_cast<qsizetype>(pixels->width) * 3, QImage::Format_RGB888,
            [](void* owned) { delete static_cast<Rgb8Image*>(owned); }, pixels.get());
        if (image.isNull()) return {};
        pixels.release();  // the image owns them now
        return image;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace

PreviewCanvas::PreviewCanvas(AppState& state, QWidget* parent)
    : QWidget(parent),
      state_(state),
      watcher_(new StateWatcher(state, this)),
      lastResetToken_(state.photoURL()),
      colorGesture_(state) {
    setObjectName("photoPreview");
    setAccessibleName("Photo preview");
    setFocusPolicy(Qt::StrongFocus);
    // The background is painted over the whole canvas every frame.
    setAttribute(Qt::WA_OpaquePaintEvent);

    // The pointer is followed for the brush outline.
    setMouseTracking(true);

    using Field = AppState::Field;
    watcher_->onAnnounced({Field::photo, Field::zoomAction, Field::zoomRevision},
                          [this] { syncFromState(); });
    // What the brush's overlay shows: the repairs as rendered, the stroke and the brush size.
    watcher_->onAnnounced({Field::editParams, Field::showOriginal, Field::disabledEditLayers,
                           Field::spotRepairDraft, Field::spotRepairDiameter},
                          [this] {
                              if (state_.isSpotRepairActive()) update();
                          });
    watcher_->onChange(
        {Field::isSpotRepairActive}, [&state] { return state.isSpotRepairActive(); },
        [this](bool, bool active) { spotRepairToolChanged(active); });
    syncFromState();
}

PreviewCanvas::~PreviewCanvas() = default;

void PreviewCanvas::syncFromState() {
    const std::optional<std::filesystem::path> photoURL = state_.photoURL();
    if (photoURL != lastResetToken_) {
        lastResetToken_ = photoURL;
        geometry_.fit();
    }
    const std::optional<OpenedPhoto>& photo = state_.photo();
    geometry_.setSourceSize(photo ? QSizeF(static_cast<double>(photo->pixelWidth),
                                           static_cast<double>(photo->pixelHeight))
                                  : QSizeF());

    if (lastZoomRevision_ != state_.zoomRevision()) {
        lastZoomRevision_ = state_.zoomRevision();
        if (state_.zoomAction() == AppState::ZoomAction::actualSize) {
            layout().showActualSize(std::nullopt);
        } else {
            geometry_.fit();
        }
    }
    update();
}

void PreviewCanvas::setTexture(RenderEngine::TexturePointer texture) {
    if (texture != texture_) {
        texture_ = std::move(texture);
        image_ = texture_ ? displayImage(*texture_) : QImage();
        geometry_.setTextureSize(
            texture_ ? std::optional(QSizeF(texture_->width(), texture_->height())) : std::nullopt);
    }
    update();
}

void PreviewCanvas::setColorSampleTexture(RenderEngine::TexturePointer texture) {
    colorSampleTexture_ = std::move(texture);
}

void PreviewCanvas::setLightAppearance(bool light) {
    if (light == isLightAppearance_) return;
    isLightAppearance_ = light;
    update();
}

double PreviewCanvas::backingScale() const {
    return window()->windowHandle() ? devicePixelRatioF() : 2.0;
}

PreviewGeometry& PreviewCanvas::layout() {
    geometry_.setViewSize(QSizeF(size()));
    geometry_.setBackingScale(backingScale());
    return geometry_;
}

void PreviewCanvas::zoomAbout(double factor, QPointF point) {
    layout().zoomBy(factor, point);
    update();
}

void PreviewCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const double grey = isLightAppearance_ ? 0.82 : 0.0;
    painter.fillRect(rect(), QColor::fromRgbF(grey, grey, grey));

    const std::optional<QRectF> imageRect = layout().layoutFrame();
    if (!imageRect) return;
    if (!image_.isNull()) {
        // Scaled uniformly by the image's width, as the photo's size and the texture's may
        // differ by a rounding.
        const double scale = imageRect->width() / image_.width();
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(imageRect->topLeft(), QSizeF(image_.size()) * scale), image_);
    }
    if (state_.isSpotRepairActive()) repairOverlay(*imageRect).paint(painter);
    if (const auto report = geometry_.reportFrame(painter.device()->devicePixelRatioF())) {
        postZoomReport(*report);
    }
}

SpotRepairOverlay PreviewCanvas::repairOverlay(const QRectF& imageRect) const {
    const std::optional<SpotRepair>& draft = state_.spotRepairDraft();
    // A stroke keeps the size it began with.
    const QSizeF image = geometry_.imageSize();
    const double brushPixels = draft ? draft->radius * 2 * std::min(image.width(), image.height())
                                     : state_.spotRepairDiameter();
    return SpotRepairOverlay{
        .imageRect = imageRect,
        // As rendered: none while the layer is bypassed or the original is shown.
        .repairs = state_.effectiveParams().spotRepairs,
        .pendingRepair = draft,
        .brushDiameter = brushPixels * geometry_.zoom(),
        .pointer = spaceToPan_ ? std::nullopt : pointer_,
        .accent = palette().color(QPalette::Highlight),
    };
}

void PreviewCanvas::postZoomReport(PreviewGeometry::ZoomReport report) {
    // Never from within the paint: the state's views would react in the middle of a frame. The
    // call dies with the canvas.
    QMetaObject::invokeMethod(
        this,
        [this, report] {
            state_.setIsInspectingDetail(report.detail);
            state_.setZoomPercent(report.percent);
        },
        Qt::QueuedConnection);
}

std::unique_ptr<QMenu> PreviewCanvas::editContextMenu() {
    auto menu = std::make_unique<QMenu>("Photo Edit");
    QAction* copy = menu->addAction("Copy Edit", this, [this] { state_.copyEditToClipboard(); });
    copy->setEnabled(state_.photo().has_value() && !state_.isOpening());
    QAction* paste =
        menu->addAction("Paste Edit", this, [this] { state_.pasteEditFromClipboard(); });
    paste->setEnabled(state_.canPasteEdit());
    return menu;
}

}  // namespace quillmere
