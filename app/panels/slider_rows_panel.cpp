#include "app/panels/slider_rows_panel.h"

#include <QVBoxLayout>

namespace quillmere {

SliderRowsPanel::SliderRowsPanel(AppState& state, std::initializer_list<EditLayer> layers,
                                 QWidget* parent)
    : QWidget(parent), state_(state), column_(new QVBoxLayout(this)) {
    column_->setContentsMargins(0, 0, 0, 0);
    column_->setSpacing(14);
    for (EditLayer layer : layers) {
        auto* row = new SliderRow(state, layer, this);
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
    return new SliderRowsPanel(state, {EditLayer::temperature, EditLayer::tint}, parent);
}

SliderRowsPanel* makeTonePanel(AppState& state, QWidget* parent) {
    return new SliderRowsPanel(state, {EditLayer::exposure, EditLayer::contrast}, parent);
}

SliderRowsPanel* makePresencePanel(AppState& state, QWidget* parent) {
    return new SliderRowsPanel(state, {EditLayer::vibrance, EditLayer::saturation}, parent);
}

}  // namespace quillmere
