#pragma once

#include <functional>

#include "app/state/app_state.h"
#include "app/state/edit_layer.h"

class QDialog;
class QWidget;

namespace quillmere {

// The views of the develop panels and of the preset, checkpoint and export sheets, built where
// the workspace and the main window host them. Each returns a new widget, owned by `parent` when
// one is given. Until those views exist each one is a placeholder that says so; the develop
// inspector's already shows the histogram and the capture data of the open photo.

// The develop inspector: the histogram (90 high), the capture data, then the panels.
QWidget* SliderPanel(AppState& state, QWidget* parent = nullptr);
// The active edit layers; `onSelect` is called with the layer the user picks.
QWidget* EditStackSection(AppState& state, std::function<void(EditLayer)> onSelect,
                          QWidget* parent = nullptr);
// The presets list, with its own title when `showsTitle`.
QWidget* PresetsSection(AppState& state, bool showsTitle, QWidget* parent = nullptr);
QWidget* CheckpointsSection(AppState& state, QWidget* parent = nullptr);
// The export sheet: a window-modal dialog over `parent`'s window, shown with open().
QDialog* ExportSheet(AppState& state, QWidget* parent);

}  // namespace quillmere
