#pragma once

#include <QLineEdit>

#include "app/kit/photo_gesture.h"

namespace quillmere {

// A small right-aligned field for a number the model owns, written and read in the user's locale
// ("1.3", or "1,3" in German) with a fixed number of decimals.
// - `setValue` shows the model's value, except while the user is typing in the field.
// - When the user finishes editing (Return or leaving the field), a number is reported by
//   `committed`; any other text, or text left as it was, writes nothing. Either way the field then
//   shows the model's value again, so a value the model clamped or refused reads as stored.
// - What is typed belongs to the photo it was typed on, as a drag does: once another photo is
//   open, the typed text is dropped and the field shows the model, and nothing is committed.
// - A panel's drag passes over the field to the panel under it: its text is never typed in.
// - The wheel is left to the column around it unless the field has focus.
class NumberField : public QLineEdit {
    Q_OBJECT

  public:
    NumberField(AppState& state, int decimals, int width, QWidget* parent = nullptr);

    void setValue(double value);
    // The model's value as last given.
    double value() const { return value_; }

  signals:
    void committed(double value);

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;

  private:
    void finish();
    void display(double value);

    int decimals_;
    double value_ = 0;
    // From the first keystroke of an edit until the field shows the model again.
    PhotoGesture typing_;
};

}  // namespace quillmere
