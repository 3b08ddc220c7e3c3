#pragma once

#include <QAbstractButton>

#include "app/state/edit_layer.h"

class QToolButton;

namespace quillmere {

class ElidedLabel;

// One layer of the edit stack: eye (bypass), title, value, reset, on a faint rounded fill. A click
// anywhere else on the row is the row's own click: go to the layer. Its object name is
// "editLayer." followed by the layer's case name. Title and value each keep to one line and are
// shortened with "…" when the row is too narrow for them, so eye and reset stay in view.
class EditLayerRow : public QAbstractButton {
    Q_OBJECT

  public:
    explicit EditLayerRow(EditLayer layer, QWidget* parent = nullptr);

    EditLayer layer() const { return layer_; }
    // Shows the layer's summary and whether it is bypassed.
    void display(const QString& valueText, bool bypassed);

  signals:
    void bypassToggled();
    void resetRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // The text and symbol tones of the row's state, from the current palette.
    void applyTones();

    EditLayer layer_;
    bool bypassed_ = false;
    QToolButton* eye_;
    ElidedLabel* title_;
    ElidedLabel* value_;
    QToolButton* reset_;
};

}  // namespace quillmere
