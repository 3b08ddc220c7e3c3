// The canvas's input: wheel, pinch, mouse, keys, focus and the context menu, handed to the tool
// that takes it; navigation (zoom and pan) is here.

#include <QContextMenuEvent>
#include <QFocusEvent>
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
    if (event->buttons() & Qt::LeftButton) {
        drag(event->position());
    } else {
        movePointer(event->position());
    }
}

void PreviewCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    release(event->position());
}

void PreviewCanvas::enterEvent(QEnterEvent* event) { movePointer(event->position()); }

void PreviewCanvas::leaveEvent(QEvent*) { movePointer(std::nullopt); }

void PreviewCanvas::press(QPointF point, int clickCount) {
    if (!geometry_.hasImage()) return;
    setFocus(Qt::MouseFocusReason);
    if (colorToolTakesClicks() && !spaceToPan_) {
        pickColor(point);
        return;
    }
    if (state_.isSpotRepairActive() && !spaceToPan_) {
        beginRepairStroke(point);
        return;
    }
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
    if (colorDragHue_ && colorDragPoint_) {
        dragColor(point);
        return;
    }
    if (isRepairGesture_) {
        extendRepairStroke(point);
        return;
    }
    const QPointF delta = lastDragPoint_ ? point - *lastDragPoint_ : QPointF();
    if (!layout().pan(delta)) return;
    lastDragPoint_ = point;
    update();
}

void PreviewCanvas::release(QPointF point) {
    colorDragHue_.reset();
    colorDragPoint_.reset();
    colorGesture_.finish();
    if (isRepairGesture_) endRepairStroke(point);
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
    // Escape ends the colour tools whatever else it does.
    if (event->key() == Qt::Key_Escape) finishColorTools();
    if (state_.isSpotRepairActive() && handleSpotRepairKey(*event)) return;
    // Ignored, so the key goes on to the window.
    QWidget::keyPressEvent(event);
}

void PreviewCanvas::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) return QWidget::keyReleaseEvent(event);
    // X11 repeats a held key as releases and presses: only the real release ends the pan.
    if (event->isAutoRepeat()) return;
    spaceToPan_ = false;
    updateCursor();
    update();
}

void PreviewCanvas::focusOutEvent(QFocusEvent* event) {
    // A popup (the context menu) takes the focus only for a moment: the stroke goes on.
    if (event->reason() != Qt::PopupFocusReason) {
        if (isRepairGesture_) state_.endSpotRepairStroke();
        isRepairGesture_ = false;
        spaceToPan_ = false;
        updateCursor();
        update();
    }
    QWidget::focusOutEvent(event);
}

void PreviewCanvas::contextMenuEvent(QContextMenuEvent* event) {
    setFocus(Qt::OtherFocusReason);
    editContextMenu()->exec(event->globalPos());
}

}  // namespace quillmere
