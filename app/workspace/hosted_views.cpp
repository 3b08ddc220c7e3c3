#include "app/workspace/hosted_views.h"

#include <QDialog>
#include <QWidget>

namespace quillmere::hosted {
namespace {

Builders& installed() {
    static Builders builders;
    return builders;
}

template <class Widget>
Widget* unbuilt(const char* objectName, QWidget* parent) {
    auto* widget = new Widget(parent);
    widget->setObjectName(objectName);
    return widget;
}

}  // namespace

void install(Builders builders) {
    Builders& current = installed();
    if (builders.sliderPanel) current.sliderPanel = std::move(builders.sliderPanel);
    if (builders.editStackSection) current.editStackSection = std::move(builders.editStackSection);
    if (builders.presetsSection) current.presetsSection = std::move(builders.presetsSection);
    if (builders.checkpointsSection) {
        current.checkpointsSection = std::move(builders.checkpointsSection);
    }
    if (builders.exportSheet) current.exportSheet = std::move(builders.exportSheet);
}

QWidget* SliderPanel(AppState& state, QWidget* parent) {
    const auto& build = installed().sliderPanel;
    return build ? build(state, parent) : unbuilt<QWidget>("sliderPanel", parent);
}

QWidget* EditStackSection(AppState& state, std::function<void(EditLayer)> onSelect,
                          QWidget* parent) {
    const auto& build = installed().editStackSection;
    return build ? build(state, std::move(onSelect), parent)
                 : unbuilt<QWidget>("editStackSection", parent);
}

QWidget* PresetsSection(AppState& state, bool showsTitle, QWidget* parent) {
    const auto& build = installed().presetsSection;
    return build ? build(state, showsTitle, parent) : unbuilt<QWidget>("presetsSection", parent);
}

QWidget* CheckpointsSection(AppState& state, QWidget* parent) {
    const auto& build = installed().checkpointsSection;
    return build ? build(state, parent) : unbuilt<QWidget>("checkpointsSection", parent);
}

QDialog* ExportSheet(AppState& state, QWidget* parent) {
    const auto& build = installed().exportSheet;
    if (build) return build(state, parent);
    auto* sheet = unbuilt<QDialog>("exportSheet", parent);
    sheet->setWindowModality(Qt::WindowModal);
    return sheet;
}

}  // namespace quillmere::hosted
