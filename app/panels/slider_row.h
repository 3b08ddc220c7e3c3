#pragma once

#include <QLabel>
#include <QString>
#include <QWidget>

#include "app/state/app_state.h"
#include "app/state/slider_field.h"

namespace quillmere {

class DoubleSlider;
class StateWatcher;

// A title that reports a double click.
class ResetLabel : public QLabel {
    Q_OBJECT

  public:
    explicit ResetLabel(const QString& text, QWidget* parent = nullptr);

  signals:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// One numeric field of the open photo's edit as a titled slider with its value, as the field's
// line of the slider table describes it (title, range, value label, layer):
//   Exposure                +0.50
//   ────────────●──────────────
// - Moving the slider writes the field; the range ends store exactly its bounds, and a stored
//   value outside the range is shown, never written back.
// - A double click on the title resets the field (the as-shot white balance, else 0).
// - While the row is shown, every change of its field, whoever made it, shows the field's layer
//   again and clears the preset and checkpoint markers that no longer hold. A row that becomes
//   shown takes the value it finds without reacting.
class SliderRow : public QWidget {
    Q_OBJECT

  public:
    // `layer` is one of the slider table's layers.
    SliderRow(AppState& state, EditLayer layer, QWidget* parent = nullptr);

    // The layer the row edits, by which a locate request finds it.
    EditLayer editLayer() const { return field_.editLayer; }
    // Rows start shown; a collapsed panel hides its rows.
    void setShown(bool shown);

    ResetLabel* titleLabel() const { return title_; }
    QLabel* valueLabel() const { return value_; }
    DoubleSlider* slider() const { return slider_; }

  private:
    double currentValue() const;
    void sync();
    void write(double value);

    AppState& state_;
    const SliderField& field_;
    ResetLabel* title_;
    QLabel* value_;
    DoubleSlider* slider_;
    StateWatcher* watcher_;
    bool shown_ = true;
    // The value the row last saw, to tell a change.
    double seenValue_;
};

}  // namespace quillmere
