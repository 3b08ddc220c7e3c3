#include "core/decode/core_ml_denoiser_error.h"

namespace quillmere {

CoreMLDenoiserError::CoreMLDenoiserError(Code code, const std::string& message)
    : Error(message), code_(code) {}

CoreMLDenoiserError CoreMLDenoiserError::invalidModel(const std::string& detail) {
    return {Code::invalidModel, "The local denoise model is incompatible: " + detail};
}

CoreMLDenoiserError CoreMLDenoiserError::invalidInput(const std::string& detail) {
    return {Code::invalidInput, "Cannot denoise this image: " + detail};
}

CoreMLDenoiserError CoreMLDenoiserError::invalidOutput(const std::string& detail) {
    return {Code::invalidOutput, "The denoise model returned invalid pixels: " + detail};
}

CoreMLDenoiserError CoreMLDenoiserError::allocationFailed() {
    return {Code::allocationFailed, "Could not allocate memory for the denoised image."};
}

}  // namespace quillmere
