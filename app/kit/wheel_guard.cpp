#include "app/kit/wheel_guard.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
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

// Whether the key press being delivered is Tab or Backtab. Qt gives the same focus reason as
// Tab's to the focus an arrow key moves off a button and to the focus that passes on from a widget
// being hidden or disabled, so the key itself is watched, once for the whole application.
class TabKeyWatch : public QObject {
  public:
    static void start() {
        if (instance_ || !QCoreApplication::instance()) return;
        instance_ = new TabKeyWatch(QCoreApplication::instance());
        QCoreApplication::instance()->installEventFilter(instance_);
    }
    static bool isTabbing() { return instance_ && instance_->tabbing_; }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            tabbing_ = key == Qt::Key_Tab || key == Qt::Key_Backtab;
        } else if (event->type() == QEvent::KeyRelease) {
            tabbing_ = false;
        }
        return false;
    }

  private:
    using QObject::QObject;

    static inline QPointer<TabKeyWatch> instance_;
    bool tabbing_ = false;
};

// Focus the user gives: a click, Tab or Backtab.
bool isChosenByUser(Qt::FocusReason reason) {
    if (reason == Qt::MouseFocusReason) return true;
    return (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) &&
           TabKeyWatch::isTabbing();
}

// Focus that leaves only for a while and comes back with the same reason: the window is
// deactivated, or a pop-up (the control's own list) takes the keyboard.
bool isPassing(Qt::FocusReason reason) {
    return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

class WheelGuard : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* control = static_cast<QWidget*>(watched);
        switch (event->type()) {
            case QEvent::Wheel:
                return passToColumn(*control, *static_cast<QWheelEvent*>(event));
            case QEvent::FocusIn:
                return refuseFocus(*control, static_cast<QFocusEvent*>(event)->reason());
            case QEvent::FocusOut:
                // The control never saw the focus it was refused.
                if (refusing_) return true;
                // While a pop-up is open, the focus moves into it and comes back.
                if (!isPassing(static_cast<QFocusEvent*>(event)->reason()) &&
                    !QApplication::activePopupWidget()) {
                    chosen_ = false;
                }
                return false;
            default:
                return false;
        }
    }

  private:
    static bool passToColumn(QWidget& control, QWheelEvent& wheel) {
        if (control.hasFocus()) return false;
        // Handed to the column itself: Qt passes a wheel on to the parents only when it comes
        // from the window system, and the column must scroll whoever sent it.
        bool scrolled = false;
        if (QAbstractScrollArea* column = enclosingScrollArea(control)) {
            QWidget* viewport = column->viewport();
            QWheelEvent passed(viewport->mapFromGlobal(wheel.globalPosition()),
                               wheel.globalPosition(), wheel.pixelDelta(), wheel.angleDelta(),
                               wheel.buttons(), wheel.modifiers(), wheel.phase(), wheel.inverted(),
                               wheel.source(), wheel.pointingDevice());
            QCoreApplication::sendEvent(viewport, &passed);
            scrolled = passed.isAccepted();
        }
        // A column already at its end leaves the wheel to what lies around it.
        wheel.setAccepted(scrolled);
        return true;
    }

    // Whether the focus arriving for `reason` is turned away: focus the user did not give is
    // unseen focus, which a wheel or an arrow key would act on.
    bool refuseFocus(QWidget& control, Qt::FocusReason reason) {
        // A dialog announces the focus it will give before its window is active; only the real
        // focus, which follows, counts.
        if (!control.hasFocus()) return false;
        if (isChosenByUser(reason) || (chosen_ && isPassing(reason))) {
            chosen_ = true;
            return false;
        }
        chosen_ = false;
        refusing_ = true;
        control.clearFocus();
        refusing_ = false;
        return true;
    }

    // The control has focus the user gave it, or had it when its window or a pop-up took it away.
    bool chosen_ = false;
    bool refusing_ = false;
};

}  // namespace

void leaveWheelToColumn(QWidget& control) {
    TabKeyWatch::start();
    // One guard per control, so it lives and dies with it.
    control.installEventFilter(new WheelGuard(&control));
    if (control.focusPolicy() == Qt::WheelFocus) control.setFocusPolicy(Qt::StrongFocus);
}

}  // namespace quillmere
