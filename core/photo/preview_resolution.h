#pragma once

namespace quillmere {

// How large a preview is developed: `fit` scales the long edge down to at most 2048 pixels,
// `full` keeps the photo's own size (used by export).
enum class PreviewResolution { fit, full };

}  // namespace quillmere
