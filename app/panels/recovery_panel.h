#pragma once

#include "app/panels/slider_rows_panel.h"

class QPushButton;
class QToolButton;

namespace quillmere {

// The recovery panel: Highlights, Shadows, Whites and Blacks with their explanations, then a
// footer that compares the photo without these four settings and resets all four. Its title and
// the highlights explanation depend on whether the open photo is a RAW file.
class RecoveryPanel : public SliderRowsPanel {
    Q_OBJECT

  public:
    explicit RecoveryPanel(AppState& state, QWidget* parent = nullptr);

    // No photo is open, or a RAW photo.
    static bool showsRAWTexts(const AppState& state);
    // "RAW Recovery" with no photo or a RAW photo, else "Highlights & Shadows".
    static QString title(const AppState& state);

    QToolButton* resetButton() const { return reset_; }

  private:
    void sync();
    // Each field back to 0, one edit change at a time, then the comparison off.
    void resetRecovery();

    QPushButton* compare_;
    QToolButton* reset_;
};

}  // namespace quillmere
