#pragma once

#include <filesystem>
#include <string>

#include "core/common/error.h"

namespace quillmere {

// Failures of the Detail denoiser: an unusable model, a model file it cannot read, input it
// cannot denoise, pixels the model got wrong, or no memory for the result. `what()` is the
// sentence the user sees.
class CoreMLDenoiserError : public Error {
  public:
    enum class Code {
        invalidModel,
        unreadableModel,
        invalidInput,
        invalidOutput,
        allocationFailed
    };

    Code code() const { return code_; }

    static CoreMLDenoiserError invalidModel(const std::string& detail);
    // The model file is there but its bytes cannot be had: `cause` says why (no permission, an
    // I/O error, not a regular file).
    static CoreMLDenoiserError unreadableModel(const std::string& cause);
    static CoreMLDenoiserError invalidInput(const std::string& detail);
    static CoreMLDenoiserError invalidOutput(const std::string& detail);
    static CoreMLDenoiserError allocationFailed();

    // The same failure, told of the model file at `model` (modelFileFailure).
    CoreMLDenoiserError aboutModelFile(const std::filesystem::path& model,
                                       const std::string& advice) const;

  private:
    CoreMLDenoiserError(Code code, const std::string& message);
    Code code_;
};

// A failure of the Detail model's file as the user reads it: the `failure` sentence, then
// `advice` (what the user can do about it, which depends on where the model came from) when there
// is any, then the file's absolute path, so that a user with several copies knows which one failed.
std::string modelFileFailure(const std::string& failure, const std::string& advice,
                             const std::filesystem::path& model);

}  // namespace quillmere
