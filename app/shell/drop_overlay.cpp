#include "app/shell/drop_overlay.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

#include "app/style/style.h"

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
constexpr double kSymbolSpacing = 8;

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
    const QColor accent = accentColor(palette());
    painter.fillRect(rect(), withAlpha(accent, kWashOpacity));

    const QRectF outline =
        QRectF(rect()).adjusted(kOutlineInset, kOutlineInset, -kOutlineInset, -kOutlineInset);
    painter.setPen(QPen(withAlpha(accent, kOutlineOpacity), kOutlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outline, kOutlineRadius, kOutlineRadius);

    // The symbol and the label, side by side on a capsule.
    const QFont headline = textFont(TextStyle::headline);
    painter.setFont(headline);
    const QString label = QStringLiteral("Drop photos to open");
    const QFontMetricsF metrics(headline);
    const double symbol = metrics.height() * 1.2;
    const QSizeF content(symbol + kSymbolSpacing + metrics.horizontalAdvance(label), symbol);
    QRectF capsule(QPointF(0, 0), content + QSizeF(2 * kCapsulePaddingX, 2 * kCapsulePaddingY));
    capsule.moveCenter(QRectF(rect()).center());
    painter.setPen(withAlpha(palette().color(QPalette::Mid), 0.6));
    painter.setBrush(withAlpha(palette().color(QPalette::Window), 0.92));
    painter.drawRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    const QRectF inside =
        capsule.adjusted(kCapsulePaddingX, kCapsulePaddingY, -kCapsulePaddingX, -kCapsulePaddingY);
    const QColor text = palette().color(QPalette::WindowText);
    paintSymbol(painter, QRectF(inside.topLeft(), QSizeF(symbol, symbol)),
                QStringLiteral("photo.badge.plus"), text);
    painter.setPen(text);
    painter.drawText(inside.adjusted(symbol + kSymbolSpacing, 0, 0, 0),
                     Qt::AlignVCenter | Qt::AlignLeading, label);
}

}  // namespace quillmere
