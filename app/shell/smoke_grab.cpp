#include "app/shell/smoke_grab.h"

#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include "app/workspace/preview_canvas.h"

namespace quillmere {
namespace {

// Time for the painted frame to reach the screen before it is read back.
constexpr int kSettleMilliseconds = 200;

// Grabs once, after the canvas's first paint with a developed texture.
class SmokeGrab : public QObject {
  public:
    SmokeGrab(QWidget& window, PreviewCanvas& canvas, QString file)
        : QObject(&canvas), window_(window), canvas_(canvas), file_(std::move(file)) {
        canvas.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && canvas_.texture() && !scheduled_) {
            scheduled_ = true;
            QTimer::singleShot(kSettleMilliseconds, this, [this] { grab(); });
        }
        return false;
    }

  private:
    void grab() {
        QImage shot = window_.screen()->grabWindow(window_.winId()).toImage();
        const qreal scale = shot.devicePixelRatio();
        const QRect canvas(canvas_.mapTo(&window_, QPoint(0, 0)) * scale, canvas_.size() * scale);
        shot.setText(QStringLiteral("canvas"), QStringLiteral("%1,%2,%3,%4")
                                                   .arg(canvas.x())
                                                   .arg(canvas.y())
                                                   .arg(canvas.width())
                                                   .arg(canvas.height()));
        QCoreApplication::exit(shot.save(file_, "PNG") ? 0 : 1);
    }

    QWidget& window_;
    PreviewCanvas& canvas_;
    QString file_;
    bool scheduled_ = false;
};

}  // namespace

void installSmokeGrabIfRequested(QWidget& window) {
    const QString file = qEnvironmentVariable("QUILLMERE_SMOKE_GRAB");
    if (file.isEmpty()) return;
    if (auto* canvas = window.findChild<PreviewCanvas*>()) new SmokeGrab(window, *canvas, file);
}

}  // namespace quillmere
