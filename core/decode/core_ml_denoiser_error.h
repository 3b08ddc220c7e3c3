#pragma once

#include <string>

#include "core/common/error.h"

namespace quillmere {

// Failures of the Detail denoiser: an unusable model, input it cannot denoise, pixels the model
// got wrong, or no memory for the result. `what()` is the sentence the user sees.
class CoreMLDenoiserError : public Error {
  public:
    enum class Code { invalidModel, invalidInput, invalidOutput, allocationFailed };

    Code code() const { return code_; }

    static CoreMLDenoiserError invalidModel(const std::string& detail);
    static CoreMLDenoiserError invalidInput(const std::string& detail);
    static CoreMLDenoiserError invalidOutput(const std::string& detail);
    static CoreMLDenoiserError allocationFailed();

  private:
    CoreMLDenoiserError(Code code, const std::string& message);
    Code code_;
};

}  // namespace quillmere
