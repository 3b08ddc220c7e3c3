#pragma once

#include <QString>

#include "app/kit/collapsible_group.h"
#include "app/state/app_state.h"

class QButtonGroup;
class QToolButton;

namespace quillmere {

class ColorMixerView;
class PointColorEditor;

// The "Color Mixer" panel: the eight bands' hue, saturation and luminance ("Mixer" tab) and the
// sampled point colours ("Point Color" tab), with bypass and reset in its title row.
//
// Whatever changes the edit's mixer while the panel exists, the colour-mixer layer is shown again
// and the markers that no longer hold are cleared. Switching tabs or folding the panel ends every
// colour tool on the photo.
class HSLSection : public CollapsibleGroup {
    Q_OBJECT

  public:
    explicit HSLSection(AppState& state, QWidget* parent = nullptr);

    // "Mixer" or "Point Color".
    void setTab(const QString& tab);
    // Ends the eyedropper, the targeted adjustment and both visualisations.
    void finishSampling();

    ColorMixerView* mixer() const { return mixer_; }
    PointColorEditor* pointEditor() const { return pointEditor_; }
    QToolButton* bypassButton() const { return bypass_; }
    QToolButton* resetButton() const { return reset_; }

  private:
    void reset();
    void syncShown();

    AppState& state_;
    QString tab_ = "Mixer";
    QToolButton* bypass_;
    QToolButton* reset_;
    QButtonGroup* tabs_;
    ColorMixerView* mixer_;
    PointColorEditor* pointEditor_;
};

}  // namespace quillmere
