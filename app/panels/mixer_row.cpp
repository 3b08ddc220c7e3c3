#include "app/panels/mixer_row.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cmath>

#include "app/kit/number_field.h"
#include "app/kit/photo_gesture.h"
#include "app/kit/title_line_layout.h"
#include "app/panels/mixer_colors.h"
#include "app/panels/slider_row.h"
#include "app/state/color_sampling.h"
#include "app/style/style.h"

namespace quillmere {

BandSlider::BandSlider(AppState& state, HSLAdjustments::Band band, std::string channel,
                       QWidget* parent)
    : DoubleSlider(-100, 100, parent), state_(state), band_(band), channel_(std::move(channel)) {
    // One position per whole number; a key steps by 1 (a page by 10), a wheel's line by 1.
    setDoubleRange(-100, 100);
    setStep(1);
    setSingleStep(1);
    setPageStep(10);
    setFixedHeight(18);
}

void BandSlider::mousePressEvent(QMouseEvent* event) {
    // Alt is read as the drag begins; pressing or releasing it later changes nothing.
    if (event->button() == Qt::LeftButton) {
        visualize(event->modifiers() & Qt::AltModifier ? rawValue(band_) : -1);
    }
    // The track's own press, which pages towards the pointer, rather than DoubleSlider's jump.
    QSlider::mousePressEvent(event);
}

void BandSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) visualize(-1);
}

void BandSlider::visualize(std::int64_t band) {
    if (state_.visualizeColorBand() != band) state_.setVisualizeColorBand(band);
}

void BandSlider::paintEvent(QPaintEvent*) {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    QPainter painter(this);
    // Reached by the keyboard, the slider shows its focus as every other slider does, for the
    // arrow keys now change it: the style draws its groove, outlined for the focus, under the
    // band's track.
    if (option.state.testFlags(QStyle::State_HasFocus | QStyle::State_KeyboardFocusChange)) {
        option.subControls = QStyle::SC_SliderGroove;
        style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.5);

    // The 3-point gradient track from the first handle centre to the last.
    const double inset = handle.width() / 2.0;
    const QRectF trackRect(inset, height() / 2.0 - 1.5, width() - 2 * inset, 3);
    QLinearGradient gradient(trackRect.topLeft(), trackRect.topRight());
    const std::vector<QColor> colors = track(band_, channel_);
    for (std::size_t index = 0; index < colors.size(); ++index) {
        gradient.setColorAt(static_cast<double>(index) / (colors.size() - 1), colors[index]);
    }
    QPainterPath trackPath;
    trackPath.addRoundedRect(trackRect, 1.5, 1.5);
    painter.fillPath(trackPath, gradient);

    const double radius = std::min(handle.width(), handle.height()) / 2.0 - 1;
    painter.setPen(QPen(palette().color(QPalette::Base), 1.5));
    painter.setBrush(bandColor(band_));
    painter.drawEllipse(QRectF(handle).center(), radius, radius);
}

MixerRow::MixerRow(AppState& state, HSLAdjustments::Band band, std::string channel, QWidget* parent)
    : QWidget(parent),
      state_(state),
      band_(band),
      channel_(std::move(channel)),
      label_(new ResetLabel(QString::fromUtf8(displayName(band)), this)),
      field_(new NumberField(state, 0, 52, this)),
      slider_(new BandSlider(state, band, channel_, this)) {
    const QString title =
        QString::fromUtf8(displayName(band)) + ' ' + QString::fromStdString(channel_);
    label_->setFont(textFont(TextStyle::subheadline));
    field_->setAccessibleName(title);
    slider_->setAccessibleName(title);

    layOutUnderTitleLine(*this, label_, field_, slider_, 2);

    connect(label_, &ResetLabel::doubleClicked, this, [this] { write(0); });
    connect(field_, &NumberField::committed, this, &MixerRow::write);
    auto* drag = new SliderGesture(state, *slider_, [this] { sync(); });
    connect(slider_, &DoubleSlider::valueEdited, this, [this, drag](double value) {
        if (drag->mayWrite()) write(value);
    });
    sync();
}

void MixerRow::setLabel(const QString& label) { label_->setText(label); }

void MixerRow::write(double value) {
    const double stored = std::isfinite(value) ? std::clamp(value, -100.0, 100.0) : 0.0;
    state_.updateEditParams([&](EditParams& params) {
        ColorSampling::channelValue(params.hsl, channel_, band_) = stored;
    });
}

void MixerRow::sync() {
    HSLAdjustments hsl = state_.editParams().hsl;
    const double value = ColorSampling::channelValue(hsl, channel_, band_);
    field_->setValue(value);
    // What is not a number shows, and steps, as the 0 a write would store.
    slider_->setDoubleValue(std::isfinite(value) ? value : 0.0);
}

}  // namespace quillmere
