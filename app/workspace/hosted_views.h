#pragma once

#include <functional>

#include "app/state/app_state.h"
#include "app/state/edit_layer.h"

class QDialog;
class QWidget;

// The views of the develop panels and of the preset, checkpoint and export sheets, built where
// the workspace and the main window host them. Each returns a new widget, owned by `parent` when
// one is given.
//
// Those views live in the libraries built on top of the workspace (panels, sheets), which the
// workspace cannot link without a cycle. So the hosts call these functions, and the program
// installs the real views' factories once at start-up, before it builds a window
// (installHostedViewFactories() of the sheets library). A view whose factory is not installed, as
// in the workspace's own tests, is a placeholder that says so; the develop inspector's already
// shows the histogram and the capture data of the open photo.
namespace quillmere::hosted {

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

// What builds each view; an empty factory leaves its placeholder.
struct Factories {
    std::function<QWidget*(AppState&, QWidget*)> sliderPanel;
    std::function<QWidget*(AppState&, std::function<void(EditLayer)>, QWidget*)> editStackSection;
    std::function<QWidget*(AppState&, bool showsTitle, QWidget*)> presetsSection;
    std::function<QWidget*(AppState&, QWidget*)> checkpointsSection;
    std::function<QDialog*(AppState&, QWidget*)> exportSheet;
};

// The process's factories. Filled on the GUI thread before the first host is built.
Factories& factories();

}  // namespace quillmere::hosted
