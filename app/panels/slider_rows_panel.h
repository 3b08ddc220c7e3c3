#pragma once

#include <QWidget>
#include <initializer_list>
#include <vector>

#include "app/panels/slider_row.h"

class QVBoxLayout;

namespace quillmere {

// The content of a panel made of slider rows, one under the other, and whatever a panel adds
// below them. It is shown while its panel is expanded.
class SliderRowsPanel : public QWidget {
    Q_OBJECT

  public:
    SliderRowsPanel(AppState& state, std::initializer_list<EditLayer> layers,
                    QWidget* parent = nullptr);

    const std::vector<SliderRow*>& rows() const { return rows_; }
    // The row of `layer`, or null.
    SliderRow* row(EditLayer layer) const;
    virtual void setShown(bool shown);

  protected:
    // The column of rows, to add to.
    QVBoxLayout* column() const { return column_; }
    AppState& state() const { return state_; }

  private:
    AppState& state_;
    QVBoxLayout* column_;
    std::vector<SliderRow*> rows_;
};

// "White Balance": Temp and Tint.
SliderRowsPanel* makeWhiteBalancePanel(AppState& state, QWidget* parent = nullptr);
// "Tone": Exposure and Contrast.
SliderRowsPanel* makeTonePanel(AppState& state, QWidget* parent = nullptr);
// "Presence": Vibrance and Saturation.
SliderRowsPanel* makePresencePanel(AppState& state, QWidget* parent = nullptr);

}  // namespace quillmere
