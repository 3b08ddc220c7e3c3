#pragma once

#include <cstdint>
#include <string>

#include "core/common/error.h"

namespace quillmere {

// A failure of the render engine or of one of the passes it runs; `what()` is shown to the user.
class GPURenderEngineError : public Error {
public:
    enum class Code { textureAllocationFailed, renderFailed, gpuUnavailable };

    static GPURenderEngineError textureAllocationFailed(std::int64_t width, std::int64_t height);
    static GPURenderEngineError renderFailed(const std::string& description);
    static GPURenderEngineError gpuUnavailable();

    Code code() const { return code_; }

private:
    GPURenderEngineError(Code code, const std::string& description);

    Code code_;
};

}  // namespace quillmere
