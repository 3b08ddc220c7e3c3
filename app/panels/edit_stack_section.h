#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "app/state/app_state.h"

class QAbstractButton;
class QLabel;
class QToolButton;

namespace quillmere {

class EditLayerRow;

// The library's "Edits" tab: the layers that change the open photo, in stack order, under a header
// that folds them away and counts them (bypassed layers included, and also while folded). Each row
// bypasses its layer (eye), hands it to `onSelect` (a click on the row) or resets it; a bypassed
// row stays, dimmed. Everything it shows and does goes through the application state; only the
// fold is its own, and it starts unfolded.
class EditStackSection : public QWidget {
    Q_OBJECT

  public:
    EditStackSection(AppState& state, std::function<void(EditLayer)> onSelect,
                     QWidget* parent = nullptr);

  private:
    void toggleExpanded();
    void sync();

    AppState& state_;
    bool expanded_ = true;
    QAbstractButton* header_;
    QToolButton* chevron_;
    QLabel* count_;
    QLabel* empty_;
    QWidget* list_;
    // One row per layer, in stack order, shown while the layer is active.
    std::array<EditLayerRow*, allEditLayers.size()> rows_{};
};

}  // namespace quillmere
