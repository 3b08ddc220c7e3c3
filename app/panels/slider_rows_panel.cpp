#include "app/panels/slider_rows_panel.h"

#include <QVBoxLayout>

namespace quillmere {

SliderRowsPanel::SliderRowsPanel(AppState& state, std::initializer_list<SliderField> fields,
                                 QWidget* parent)
    : QWidget(parent), state_(state), column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(14);
    for (SliderField field : fields) {
        auto* row = new SliderRow(state, field, this);
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
    return new SliderRowsPanel(state, {SliderField::temperature, SliderField::tint}, parent);
}

SliderRowsPanel* makeTonePanel(AppState& state, QWidget* parent) {
    return new SliderRowsPanel(state, {SliderField::exposure, SliderField::contrast}, parent);
}

SliderRowsPanel* makePresencePanel(AppState& state, QWidget* parent) {
    return new SliderRowsPanel(state, {SliderField::vibrance, SliderField::saturation}, parent);
}

}  // namespace quillmere
