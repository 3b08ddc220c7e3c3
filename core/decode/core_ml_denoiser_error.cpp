#include "core/decode/core_ml_denoiser_error.h"

#include <system_error>

namespace quillmere {

CoreMLDenoiserError::CoreMLDenoiserError(Code code, const std::string& message)
    : Error(message), code_(code) {}

CoreMLDenoiserError CoreMLDenoiserError::invalidModel(const std::string& detail) {
    return {Code::invalidModel, "The local denoise model is incompatible: " + detail};
}

CoreMLDenoiserError CoreMLDenoiserError::unreadableModel(const std::string& cause) {
    return {Code::unreadableModel, "The Detail model cannot be read: " + cause};
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

CoreMLDenoiserError CoreMLDenoiserError::aboutModelFile(const std::filesystem::path& model,
                                                        const std::string& advice) const {
    return {code_, modelFileFailure(what(), advice, model)};
}

std::string modelFileFailure(const std::string& failure, const std::string& advice,
                             const std::filesystem::path& model) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(model, error);
    std::string text = failure;
    if (!text.ends_with('.')) text += '.';
    if (!advice.empty()) text += " " + advice;
    return text + " Model file: " + (error ? model : absolute).string();
}

}  // namespace quillmere
