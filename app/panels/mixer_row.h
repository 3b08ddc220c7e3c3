#pragma once

#include <QString>
#include <QWidget>
#include <string>

#include "app/kit/double_slider.h"
#include "app/state/app_state.h"
#include "core/edit/hsl_adjustments.h"

namespace quillmere {

class NumberField;
class ResetLabel;

// A slider from -100 to 100 whose handle stops at whole numbers, drawn on a thin gradient track,
// its handle tinted with the band colour; a step moves the value by 1 (a page by 10). Focused by
// the keyboard, it shows the focus every slider shows: the style's groove, outlined, under the
// track. A drag begun with Alt held visualises the band on the photo until it ends.
class BandSlider : public DoubleSlider {
    Q_OBJECT

  public:
    BandSlider(AppState& state, HSLAdjustments::Band band, std::string channel,
               QWidget* parent = nullptr);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void visualize(std::int64_t band);

    AppState& state_;
    HSLAdjustments::Band band_;
    std::string channel_;
};

// One value of the colour mixer: a band's hue, saturation or luminance, as a label (a double
// click sets 0), a typed value titled like "Red Hue", and a band slider. Every write stores 0 for
// what is not a number and otherwise keeps the value within -100...100, in that one entry.
class MixerRow : public QWidget {
    Q_OBJECT

  public:
    MixerRow(AppState& state, HSLAdjustments::Band band, std::string channel,
             QWidget* parent = nullptr);

    HSLAdjustments::Band band() const { return band_; }
    const std::string& channel() const { return channel_; }
    // The band name in the HSL and B&W layouts, the channel name in the Color layout.
    void setLabel(const QString& label);
    void write(double value);
    void sync();

    ResetLabel* label() const { return label_; }
    NumberField* field() const { return field_; }
    BandSlider* slider() const { return slider_; }

  private:
    AppState& state_;
    HSLAdjustments::Band band_;
    std::string channel_;
    ResetLabel* label_;
    NumberField* field_;
    BandSlider* slider_;
};

}  // namespace quillmere
