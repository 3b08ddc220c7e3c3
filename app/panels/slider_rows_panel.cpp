#include "app/panels/slider_rows_panel.h"

#include <QVBoxLayout>

namespace quillmere {

SliderRowsPanel::SliderRowsPanel(AppState& state, const std::vector<SliderRow::Definition>& rows,
                                 QWidget* parent)
    : QWidget(parent), state_(state), column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(14);
    for (const SliderRow::Definition& definition : rows) {
        auto* row = new SliderRow(state, definition, this);
        column_->addWidget(row);
        rows_.push_back(row);
    }
}

SliderRow* SliderRowsPanel::row(EditLayer layer) const {
    for (SliderRow* row : rows_) {
        if (row->editLayer() == layer) return row;
    }
    return nullptr;
}

void SliderRowsPanel::setShown(bool shown) {
    for (SliderRow* row : rows_) row->setShown(shown);
}

SliderRowsPanel* makeWhiteBalancePanel(AppState& state, QWidget* parent) {
    return new SliderRowsPanel(
        state,
        {{"Temp", SliderField::temperature, 2000, 50000}, {"Tint", SliderField::tint, -150, 150}},
        parent);
}

SliderRowsPanel* makeTonePanel(AppState& state, QWidget* parent) {
    return new SliderRowsPanel(state,
                               {{"Exposure", SliderField::exposure, -5, 5},
                                {"Contrast", SliderField::contrast, -100, 100}},
                               parent);
}

SliderRowsPanel* makePresencePanel(AppState& state, QWidget* parent) {
    return new SliderRowsPanel(state,
                               {{"Vibrance", SliderField::vibrance, -100, 100},
                                {"Saturation", SliderField::saturation, -100, 100}},
                               parent);
}

}  // namespace quillmere
