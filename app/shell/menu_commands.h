#pragma once

#include <functional>

class QMenuBar;

namespace quillmere {

class AppState;
class Preferences;

// The windows the menus open, each a single window that a second request brings to the front.
struct WindowCommands {
    std::function<void()> showSettings;
    std::function<void()> showTechnologyLicenses;
};

// Fills `menuBar` with the program's menus. They hold no state of their own: they call the
// state's operations, bind the window preferences, and enable themselves as the state changes.
// - File: "Open Photos…" (Ctrl+O, the toolbar's "Open…"), "Save All Edits" (Ctrl+Shift+S),
//   "Quit" (Ctrl+Q), which closes the main window and so asks about unsaved edits first.
// - Edit: "Undo Spot Repair" and "Redo Spot Repair", the only undo the program has; "Cut",
//   "Copy", "Paste" and "Select All", which serve a focused text field first and otherwise act
//   on edits (Cut then does nothing; Paste and Select All nothing while busy); "Settings…".
// - View: the library, adjustments and filmstrip toggles and the "Appearance" choice.
// - Help: "Technology & Licenses…".
void installMenuCommands(QMenuBar& menuBar, AppState& state, Preferences& preferences,
                         const WindowCommands& windows);

}  // namespace quillmere
