#include "app/kit/wheel_guard.h"

#include <QAbstractScrollArea>
#include <QCoreApplication>
#include <QWheelEvent>
#include <QWidget>

namespace quillmere {
namespace {

QAbstractScrollArea* enclosingScrollArea(const QWidget& control) {
    for (QWidget* ancestor = control.parentWidget(); ancestor;
         ancestor = ancestor->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(ancestor)) return area;
    }
    return nullptr;
}

class WheelGuard : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Wheel) return false;
        auto* control = static_cast<QWidget*>(watched);
        if (control->hasFocus()) return false;
        // Handed to the column itself: Qt passes a wheel on to the parents only when it comes
        // from the window system, and the column must scroll whoever sent it.
        auto* wheel = static_cast<QWheelEvent*>(event);
        bool scrolled = false;
        if (QAbstractScrollArea* column = enclosingScrollArea(*control)) {
            QWidget* viewport = column->viewport();
            QWheelEvent passed(viewport->mapFromGlobal(wheel->globalPosition()),
                               wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(),
                               wheel->buttons(), wheel->modifiers(), wheel->phase(),
                               wheel->inverted(), wheel->source(), wheel->pointingDevice());
            QCoreApplication::sendEvent(viewport, &passed);
            scrolled = passed.isAccepted();
        }
        // A column already at its end leaves the wheel to what lies around it.
        wheel->setAccepted(scrolled);
        return true;
    }
};

}  // namespace

void leaveWheelToColumn(QWidget& control) {
    // One guard per control, so it lives and dies with it.
    control.installEventFilter(new WheelGuard(&control));
    if (control.focusPolicy() == Qt::WheelFocus) control.setFocusPolicy(Qt::StrongFocus);
}

}  // namespace quillmere
