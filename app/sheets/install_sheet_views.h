#pragma once

namespace quillmere {

// Installs the sheets library's views into the workspace's hosts: the checkpoints list.
void installSheetViews();

}  // namespace quillmere
