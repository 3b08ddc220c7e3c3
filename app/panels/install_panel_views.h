#pragma once

namespace quillmere {

class Preferences;

// Installs the develop panels' builders into the workspace's hosts: from then on the workspace's
// inspector is the real `SliderPanel`, keeping its order and folding in `preferences`, which must
// outlive every inspector built, and the library's Edits tab is the real `EditStackSection`.
// Called once on the GUI thread, before the window is built.
void installPanelViews(Preferences& preferences);

}  // namespace quillmere
