#pragma once

#include <filesystem>
#include <string>

#include "core/common/error.h"
#include "core/reading/reading_error.h"

namespace quillmere {

// Failures of the RAW loader, and of the steps it takes on its behalf (decoding, denoising,
// finding the Detail model). `what()` is the sentence the user sees.
class RAWLoaderError : public Error {
  public:
    enum class Code {
        unsupportedFile,
        notOpened,
        renderFailed,
        gpuUnavailable,
        fileNotFound,
        readingFailed,
    };

    Code code() const { return code_; }

    static RAWLoaderError unsupportedFile(const std::filesystem::path& url);
    static RAWLoaderError notOpened();
    static RAWLoaderError renderFailed(const std::string& message);
    static RAWLoaderError gpuUnavailable();
    // The photo's file is no longer where it was opened from.
    static RAWLoaderError fileNotFound(const std::filesystem::path& url);
    // A reading of the photo's file that ended in neither an answer nor a refusal of the file
    // (ReadingError: it needs more memory or processor time than a photo of its size may take,
    // its reader crashed, is missing or did not answer this time), with its own sentence.
    static RAWLoaderError readingFailed(const ReadingError& error);

    // The loader's error for a reading of `url` that failed with `error`: the file not there is
    // fileNotFound; a file that is no photo the reader reads (its refusal, no regular file, one
    // that cannot be opened) is unsupportedFile, as for every decoder; any other end is
    // readingFailed.
    static RAWLoaderError ofReading(const std::filesystem::path& url, const ReadingError& error);

  private:
    RAWLoaderError(Code code, const std::string& message) : Error(message), code_(code) {}
    Code code_;
};

}  // namespace quillmere
