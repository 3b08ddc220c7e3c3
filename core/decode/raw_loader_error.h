#pragma once

#include <filesystem>
#include <string>

#include "core/common/error.h"

namespace quillmere {

// Failures of the RAW loader, and of the steps it takes on its behalf (decoding, denoising,
// finding the Detail model). `what()` is the sentence the user sees.
class RAWLoaderError : public Error {
  public:
    enum class Code { unsupportedFile, notOpened, renderFailed, gpuUnavailable, fileNotFound };

    Code code() const { return code_; }

    static RAWLoaderError unsupportedFile(const std::filesystem::path& url);
    static RAWLoaderError notOpened();
    static RAWLoaderError renderFailed(const std::string& message);
    static RAWLoaderError gpuUnavailable();
    // The photo's file is no longer where it was opened from.
    static RAWLoaderError fileNotFound(const std::filesystem::path& url);

  private:
    RAWLoaderError(Code code, const std::string& message) : Error(message), code_(code) {}
    Code code_;
};

}  // namespace quillmere
