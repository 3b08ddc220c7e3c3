#include "core/render/engine/render_cancellation.h"

namespace quillmere {

void RenderCancellation::cancel() {
    std::lock_guard guard(lock);
    cancelled = true;
}

bool RenderCancellation::isCancelled() const {
    std::lock_guard guard(lock);
    return cancelled;
}

}  // namespace quillmere
