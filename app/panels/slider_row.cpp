#include "app/panels/slider_row.h"

#include <QMouseEvent>
#include <cmath>

#include "app/kit/double_slider.h"
#include "app/kit/photo_gesture.h"
#include "app/kit/title_line_layout.h"
#include "app/panels/value_label.h"
#include "app/state/follow/state_watcher.h"
#include "app/style/style.h"

namespace quillmere {
namespace {

// NaN is the same as NaN here, so an edit holding one does not look changed on every turn.
bool sameValue(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

ResetLabel::ResetLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
}

void ResetLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

SliderRow::SliderRow(AppState& state, EditLayer layer, QWidget* parent)
    : QWidget(parent),
      state_(state),
      field_(sliderField(layer)),
      title_(new ResetLabel(QString::fromUtf8(field_.title), this)),
      value_(new QLabel(this)),
      slider_(new DoubleSlider(this)),
      watcher_(new StateWatcher(state, this)),
      seenValue_(currentValue()) {
    const QFont subheadline = textFont(TextStyle::subheadline);
    title_->setFont(subheadline);
    value_->setFont(digitFont(subheadline));
    value_->setTextFormat(Qt::PlainText);
    value_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setTextTone(*value_, TextTone::secondary);
    slider_->setAccessibleName(title_->text());
    slider_->setDoubleRange(field_.lowerBound, field_.upperBound);

    layOutUnderTitleLine(*this, title_, value_, slider_, 4);

    connect(title_, &ResetLabel::doubleClicked, this, [this] { state_.resetSlider(editLayer()); });
    auto* drag = new SliderGesture(state, *slider_, [this] { sync(); });
    connect(slider_, &DoubleSlider::valueEdited, this, [this, drag](double value) {
        if (drag->mayWrite()) write(value);
    });
    watcher_->onAnnounced({AppState::Field::editParams}, [this] { sync(); });
    sync();
}

void SliderRow::setShown(bool shown) {
    if (shown && !shown_) seenValue_ = currentValue();
    shown_ = shown;
}

double SliderRow::currentValue() const { return state_.editParams().*field_.value; }

void SliderRow::sync() {
    const double value = currentValue();
    slider_->setDoubleValue(value);
    value_->setText(quillmere::valueLabel(editLayer(), value));
    if (sameValue(value, seenValue_)) return;
    seenValue_ = value;
    if (!shown_) return;
    state_.enableEditLayer(editLayer());
    state_.clearAppliedPreset();
    state_.clearAppliedCheckpoint();
}

void SliderRow::write(double value) {
    state_.updateEditParams([&](EditParams& params) { params.*field_.value = value; });
}

}  // namespace quillmere
