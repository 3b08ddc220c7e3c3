#include "app/shell/drop_overlay.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

namespace quillmere {
namespace {

constexpr int kFadeMilliseconds = 150;
constexpr double kWashOpacity = 0.08;
constexpr double kOutlineOpacity = 0.85;
constexpr double kOutlineInset = 8;
constexpr double kOutlineRadius = 10;
constexpr double kOutlineWidth = 2;
constexpr double kCapsulePaddingX = 18;
constexpr double kCapsulePaddingY = 12;

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

}  // namespace

DropOverlay::DropOverlay(QWidget* parent)
    : QWidget(parent),
      opacity_(new QGraphicsOpacityEffect(this)),
      fade_(new QPropertyAnimation(opacity_, "opacity", this)) {
    setObjectName(QStringLiteral("dropOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGraphicsEffect(opacity_);
    fade_->setDuration(kFadeMilliseconds);
    fade_->setEasingCurve(QEasingCurve::InOutQuad);
    connect(fade_, &QPropertyAnimation::finished, this, [this] {
        if (!targeted_) hide();
    });
    opacity_->setOpacity(0);
    hide();
}

void DropOverlay::setTargeted(bool targeted) {
    if (targeted == targeted_) return;
    targeted_ = targeted;
    if (targeted) {
        raise();
        show();
    }
    fade_->stop();
    fade_->setStartValue(opacity_->opacity());
    fade_->setEndValue(targeted ? 1.0 : 0.0);
    fade_->start();
}

void DropOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    painter.fillRect(rect(), withAlpha(accent, kWashOpacity));

    const QRectF outline =
        QRectF(rect()).adjusted(kOutlineInset, kOutlineInset, -kOutlineInset, -kOutlineInset);
    painter.setPen(QPen(withAlpha(accent, kOutlineOpacity), kOutlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outline, kOutlineRadius, kOutlineRadius);

    QFont headline = font();
    headline.setBold(true);
    painter.setFont(headline);
    const QString label = QStringLiteral("Drop photos to open");
    const QFontMetricsF metrics(headline);
    const QSizeF text(metrics.horizontalAdvance(label), metrics.height());
    const QRectF capsule(QPointF(0, 0), text + QSizeF(2 * kCapsulePaddingX, 2 * kCapsulePaddingY));
    QRectF placed = capsule;
    placed.moveCenter(QRectF(rect()).center());
    painter.setPen(withAlpha(palette().color(QPalette::Mid), 0.6));
    painter.setBrush(withAlpha(palette().color(QPalette::Window), 0.92));
    painter.drawRoundedRect(placed, placed.height() / 2, placed.height() / 2);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(placed, Qt::AlignCenter, label);
}

}  // namespace quillmere
