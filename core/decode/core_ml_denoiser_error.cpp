#include "core/decode/core_ml_denoiser_error.h"

#include <utility>

namespace quillmere {

CoreMLDenoiserError::CoreMLDenoiserError(Code code, const std::string& message, std::string detail)
    : Error(message), code_(code), detail_(std::move(detail)) {}

CoreMLDenoiserError CoreMLDenoiserError::invalidModel(const std::string& detail) {
    return {Code::invalidModel, "The local denoise model is incompatible: " + detail, detail};
}

CoreMLDenoiserError CoreMLDenoiserError::invalidInput(const std::string& detail) {
    return {Code::invalidInput, "Cannot denoise this image: " + detail, detail};
}

CoreMLDenoiserError CoreMLDenoiserError::invalidOutput(const std::string& detail) {
    return {Code::invalidOutput, "The denoise model returned invalid pixels: " + detail, detail};
}

CoreMLDenoiserError CoreMLDenoiserError::allocationFailed() {
    return {Code::allocationFailed, "Could not allocate memory for the denoised image.", {}};
}

}  // namespace quillmere
