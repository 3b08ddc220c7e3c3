#pragma once

#include <QString>

#include "app/panels/slider_rows_panel.h"

class QButtonGroup;
class QLabel;
class QPushButton;

namespace quillmere {

// The content of the "Denoise" panel: the method ("Natural", and "Detail" where the photo allows
// it), the amount, a before/after of the noise reduction (key D) and the engine that serves the
// photo. While shown, any change of the method, whoever made it, ends the three comparisons and
// clears the markers that no longer hold.
class DenoisePanel : public SliderRowsPanel {
    Q_OBJECT

  public:
    explicit DenoisePanel(AppState& state, QWidget* parent = nullptr);

    // "Standard" where the photo's own decoder denoises it (any non-RAW photo, or Natural on a RAW
    // photo of the standard backend), else "On device".
    static QString engineCaption(const AppState& state);

    void setShown(bool shown) override;
    QPushButton* compareButton() const { return compare_; }
    QLabel* engineLabel() const { return engine_; }

  private:
    // Offers the methods the open photo allows, selecting none that is not offered.
    void repopulateMethods();
    void sync();
    void reactToMethod();

    QWidget* methods_;
    QButtonGroup* methodGroup_;
    QPushButton* compare_;
    QLabel* engine_;
    bool shown_ = true;
    DenoiseMethod seenMethod_;
};

}  // namespace quillmere
