#pragma once

#include <QString>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "app/state/app_state.h"
#include "core/edit/hsl_adjustments.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QToolButton;

namespace quillmere {

class MixerRow;
class SwatchButton;

// The colour mixer's "Mixer" tab: the layout ("HSL": one channel or "All" of the eight bands;
// "Color": one band's three channels, picked by swatch; "B&W": the eight luminances of a black
// and white mix) and the targeted adjustment on the photo.
//
// While the mixer is shown, the layout and the edit's black-and-white switch follow each other:
// choosing "B&W" turns the photo black and white, another layout turns it back, and an edit that
// arrives black and white shows "B&W". When the mixer reappears, its layout follows the edit:
// never "B&W" over a colour edit.
class ColorMixerView : public QWidget {
    Q_OBJECT

  public:
    explicit ColorMixerView(AppState& state, QWidget* parent = nullptr);

    // "HSL", "Color" or "B&W".
    QString layoutName() const { return layout_; }
    void setLayoutName(const QString& layout);
    // "Hue", "Saturation", "Luminance" or "All".
    void setMode(const QString& mode);
    void setBand(HSLAdjustments::Band band);
    // The mixer is on screen: the Mixer tab of an open panel.
    void setShown(bool shown);
    // Starts the targeted adjustment on `mode`'s channel (Hue for "All"), or ends it; either way
    // the eyedropper, the point visualisation and the spot-repair brush go off.
    void toggleTargetedAdjustment();

    MixerRow* row(HSLAdjustments::Band band, const std::string& channel) const;
    const std::vector<MixerRow*>& rows() const { return rows_; }
    QComboBox* layoutPicker() const { return layoutPicker_; }
    QToolButton* targetedButton() const { return targeted_; }
    const std::vector<SwatchButton*>& swatches() const { return swatches_; }

  private:
    // Shows, hides and labels the rows for the layout.
    void arrangeRows();
    void sync();
    void syncBlackAndWhite(bool blackAndWhite);
    // The channel a targeted adjustment drives for the current mode.
    std::string targetChannel() const;

    AppState& state_;
    QString layout_ = "HSL";
    QString mode_ = "Hue";
    HSLAdjustments::Band band_ = HSLAdjustments::Band::red;
    bool shown_ = false;

    QComboBox* layoutPicker_;
    QToolButton* targeted_;
    QWidget* modePicker_;
    QButtonGroup* modes_;
    QWidget* swatchRow_;
    std::vector<SwatchButton*> swatches_;
    QLabel* bandTitle_;
    std::vector<QLabel*> channelTitles_;
    std::vector<MixerRow*> rows_;
    QLabel* targetHint_;
};

}  // namespace quillmere
