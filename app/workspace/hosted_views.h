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
// The panels and sheets are libraries above the workspace, so the workspace cannot call them:
// they install their builders here (the application at start-up, and each test that needs them).
// A host whose builder is not installed builds an empty widget of the same object name, which is
// all the workspace's own tests need. The hosts live in their own namespace because the views
// they stand for are classes of the same names.
namespace quillmere::hosted {

// The develop inspector: the histogram, the capture data, then the panels.
QWidget* SliderPanel(AppState& state, QWidget* parent = nullptr);
// The active edit layers; `onSelect` is called with the layer the user picks.
QWidget* EditStackSection(AppState& state, std::function<void(EditLayer)> onSelect,
                          QWidget* parent = nullptr);
// The presets list, with its own title when `showsTitle`.
QWidget* PresetsSection(AppState& state, bool showsTitle, QWidget* parent = nullptr);
QWidget* CheckpointsSection(AppState& state, QWidget* parent = nullptr);
// The export sheet: a window-modal dialog over `parent`'s window, shown with open().
QDialog* ExportSheet(AppState& state, QWidget* parent);

// The builders behind the hosts above, with the same arguments.
struct Builders {
    std::function<QWidget*(AppState&, QWidget*)> sliderPanel;
    std::function<QWidget*(AppState&, std::function<void(EditLayer)>, QWidget*)> editStackSection;
    std::function<QWidget*(AppState&, bool, QWidget*)> presetsSection;
    std::function<QWidget*(AppState&, QWidget*)> checkpointsSection;
    std::function<QDialog*(AppState&, QWidget*)> exportSheet;
};

// Installs the builders given; a member left empty keeps the builder installed before it.
// Used on the GUI thread, before the hosts are built.
void install(Builders builders);

}  // namespace quillmere::hosted
