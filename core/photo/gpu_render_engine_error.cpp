#include "core/photo/gpu_render_engine_error.h"

namespace quillmere {

GPURenderEngineError::GPURenderEngineError(Code code, const std::string& description)
    : Error(description), code_(code) {}

GPURenderEngineError GPURenderEngineError::textureAllocationFailed(std::int64_t width,
                                                                   std::int64_t height) {
    return {Code::textureAllocationFailed,
            "Could not allocate a " + std::to_string(width) + " \u00D7 " + std::to_string(height) +
                " image."};
}

GPURenderEngineError GPURenderEngineError::renderFailed(const std::string& description) {
    return {Code::renderFailed, description};
}

GPURenderEngineError GPURenderEngineError::gpuUnavailable() {
    return {Code::gpuUnavailable, "A Metal GPU is required."};
}

}  // namespace quillmere
