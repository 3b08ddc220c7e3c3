#include "app/panels/edit_layer_row.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

#include "app/kit/elided_label.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

constexpr int kCornerRadius = 5;
// The row's fill: white on a dark window, black on a light one.
constexpr double kFillOpacity = 0.035;

QToolButton* rowButton(QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIconSize(QSize(12, 12));
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QColor textAt(const QPalette& palette, double opacity) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(static_cast<float>(opacity));
    return color;
}

// Inside a button a label draws in the button-text role.
void setTextColor(QLabel& label, const QColor& color) {
    QPalette palette = label.palette();
    palette.setColor(label.foregroundRole(), color);
    label.setPalette(palette);
}

}  // namespace

EditLayerRow::EditLayerRow(EditLayer layer, QWidget* parent)
    : QAbstractButton(parent),
      layer_(layer),
      eye_(rowButton(this)),
      title_(new ElidedLabel(Qt::ElideRight, this)),
      value_(new ElidedLabel(Qt::ElideRight, this)),
      reset_(rowButton(this)) {
    const QString name = QString::fromUtf8(title(layer).data(), title(layer).size());
    setObjectName(QStringLiteral("editLayer.") + QString::fromUtf8(rawValue(layer).data()));
    setAccessibleName(name);
    setToolTip("Go to " + name);
    setCursor(Qt::PointingHandCursor);

    title_->setFullText(name);
    title_->setFont(textFont(TextStyle::subheadline));
    value_->setFont(digitFont(textFont(TextStyle::caption2)));
    // The labels leave the click and the tooltip to the row.
    for (QLabel* label : {title_, value_}) label->setAttribute(Qt::WA_TransparentForMouseEvents);

    eye_->setFixedWidth(18);
    reset_->setIcon(symbolIcon("arrow.uturn.backward", SymbolTint::secondary));
    reset_->setIconSize(QSize(10, 10));
    reset_->setAccessibleName("Reset " + name);
    reset_->setToolTip("Reset and remove " + name + " from the edit stack");

    // The value takes the rest of the row, right-aligned, and is the first to shorten; the title
    // shortens only in a row too narrow for it alone.
    value_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(7, 5, 7, 5);
    row->setSpacing(5);
    row->addWidget(eye_);
    row->addWidget(title_);
    row->addSpacing(4);
    row->addWidget(value_, 1);
    row->addWidget(reset_);

    connect(eye_, &QToolButton::clicked, this, &EditLayerRow::bypassToggled);
    connect(reset_, &QToolButton::clicked, this, &EditLayerRow::resetRequested);
    display(QString(), false);
}

void EditLayerRow::display(const QString& valueText, bool bypassed) {
    value_->setFullText(valueText);
    if (bypassed == bypassed_ && !eye_->icon().isNull()) return;
    bypassed_ = bypassed;
    const QString name = title_->fullText();
    eye_->setIcon(symbolIcon(bypassed ? "eye.slash" : "eye",
                             bypassed ? SymbolTint::tertiary : SymbolTint::muted));
    eye_->setAccessibleName((bypassed ? "Enable " : "Temporarily disable ") + name);
    eye_->setToolTip(bypassed ? "Include this edit in the preview"
                              : "Temporarily bypass this edit");
    applyTones();
}

void EditLayerRow::applyTones() {
    const QPalette& palette = this->palette();
    // A bypassed layer's title and value at half their strength.
    const double strength = bypassed_ ? 0.5 : 1.0;
    setTextColor(*title_, textAt(palette, 0.8 * strength));
    setTextColor(*value_, textAt(palette, 0.55 * strength));
}

void EditLayerRow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) applyTones();
    QAbstractButton::changeEvent(event);
}

void EditLayerRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = isDark(*this) ? QColor(Qt::white) : QColor(Qt::black);
    fill.setAlphaF(kFillOpacity);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
}

}  // namespace quillmere
