// The canvas's input: wheel, pinch, mouse, keys and the context menu.

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <cmath>

#include "app/workspace/preview_canvas.h"

namespace quillmere {
namespace {

bool isCopyOrPaste(const QKeyEvent& key) {
    return key.matches(QKeySequence::Copy) || key.matches(QKeySequence::Paste);
}

}  // namespace

bool PreviewCanvas::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Copy and paste act on the photo's edit while the canvas has the focus, before any
            // window shortcut on the same keys.
            if (isCopyOrPaste(*static_cast<QKeyEvent*>(event))) {
                event->accept();
                return true;
            }
            break;
        case QEvent::NativeGesture: {
            const auto* gesture = static_cast<QNativeGestureEvent*>(event);
            if (gesture->gestureType() != Qt::ZoomNativeGesture) break;
            if (geometry_.hasImage() && !isRepairGesture_) {
                zoomAbout(1 + gesture->value(), gesture->position());
            }
            return true;
        }
        default:
            break;
    }
    return QWidget::event(event);
}

void PreviewCanvas::wheelEvent(QWheelEvent* event) {
    if (!geometry_.hasImage() || isRepairGesture_) return;
    // A touchpad gives precise pixel deltas, a wheel notches of 120.
    const QPoint pixels = event->pixelDelta();
    const bool precise = !pixels.isNull();
    const double delta = precise ? pixels.y() : event->angleDelta().y() / 120.0;
    const double k = precise ? 0.01 : 0.1;
    zoomAbout(std::exp2(delta * k), event->position());
}

void PreviewCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    press(event->position(), 1);
}

void PreviewCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    press(event->position(), 2);
}

void PreviewCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) drag(event->position());
}

void PreviewCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    release();
}

void PreviewCanvas::press(QPointF point, int clickCount) {
    if (!geometry_.hasImage()) return;
    setFocus(Qt::MouseFocusReason);
    isRepairGesture_ = false;
    lastDragPoint_ = point;
    if (clickCount != 2) return;
    if (geometry_.fitMode()) {
        layout().showActualSize(point);
    } else {
        geometry_.fit();
    }
    update();
}

void PreviewCanvas::drag(QPointF point) {
    const QPointF delta = lastDragPoint_ ? point - *lastDragPoint_ : QPointF();
    if (!layout().pan(delta)) return;
    lastDragPoint_ = point;
    update();
}

void PreviewCanvas::release() {
    lastDragPoint_.reset();
    isRepairGesture_ = false;
}

void PreviewCanvas::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        state_.copyEditToClipboard();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        state_.pasteEditFromClipboard();
        return;
    }
    // Ignored, so the key goes on to the window.
    QWidget::keyPressEvent(event);
}

void PreviewCanvas::contextMenuEvent(QContextMenuEvent* event) {
    setFocus(Qt::OtherFocusReason);
    editContextMenu()->exec(event->globalPos());
}

}  // namespace quillmere
