#pragma once

namespace quillmere {

// Installs the library's sheets and lists into the workspace's hosts (see
// app/workspace/hosted_views.h). Called once on the GUI thread, before the window is built.
void installSheetViews();

}  // namespace quillmere
