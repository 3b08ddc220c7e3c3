#pragma once

#include <QObject>
#include <filesystem>
#include <functional>
#include <optional>

#include "app/state/app_state.h"

class QSlider;

namespace quillmere {

// A press, drag and release of the user that edits the open photo (a slider's drag, a curve
// point's move, a colour drag on the photo) belongs to the photo it began on, as does a number
// typed into a field until it is committed. Should another photo open meanwhile (an open
// finishing, a click on the filmstrip), the gesture writes nothing more: the photo it began on
// keeps the value of the moment of the switch, the photo now open is never touched, and the
// gesture stays refused until it finishes.
//
// A spot-repair stroke needs none of this: the state itself ties the stroke to its photo.
class PhotoGesture {
  public:
    explicit PhotoGesture(const AppState& state) : state_(state) {}

    // The gesture begins on the photo open now.
    void begin();
    // The button is let go.
    void finish();
    // Between begin and finish, refused or not.
    bool inProgress() const { return phase_ != Phase::idle; }
    // Whether a write may go to the open photo's edit now: always outside a gesture; during one,
    // while the photo it began on is still the open one, and never again once it was not.
    bool mayWrite();

  private:
    enum class Phase { idle, running, refused };

    const AppState& state_;
    Phase phase_ = Phase::idle;
    std::optional<std::filesystem::path> photo_;
};

// What a slider does while its button is held (a drag of the handle, steps of a press on the
// track) as a photo gesture: the press begins it, the release finishes it. A value the gesture
// refuses ends it at once, as letting the button go would, and `showModel` puts the handle back
// on the model's value.
class SliderGesture : public QObject {
  public:
    SliderGesture(const AppState& state, QSlider& slider, std::function<void()> showModel);

    // Asked before writing a value the slider reports, whatever moved it.
    bool mayWrite();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QSlider& slider_;
    PhotoGesture gesture_;
    std::function<void()> showModel_;
};

}  // namespace quillmere
