#pragma once

namespace quillmere {

// Installs the library's sections and the export sheet as the views the workspace and the main
// window host (app/workspace/hosted_views.h), which cannot link them. The program calls it once
// on the GUI thread before it builds a window; so do the tests that need the real views. The
// export sheet it builds deletes itself when closed.
void installSheetViews();

}  // namespace quillmere
