#pragma once

#include <exception>

#include "core/common/error.h"

namespace quillmere {

// A failure of the export path. It has no sentence of its own: `what()` is the generic
// "couldn't be completed" text naming the case, as the application shows for such errors.
// The two file cases keep the system's error that caused them.
class ExporterError : public Error {
public:
    enum class Code { writeFailed, directoryCreationFailed, jpegEncodingFailed, imageIOFailure };

    static ExporterError writeFailed(std::exception_ptr underlying);
    static ExporterError directoryCreationFailed(std::exception_ptr underlying);
    static ExporterError jpegEncodingFailed();
    static ExporterError imageIOFailure();

    Code code() const { return code_; }
    // The system's error for writeFailed and directoryCreationFailed; null otherwise.
    std::exception_ptr underlying() const { return underlying_; }

private:
    ExporterError(Code code, std::exception_ptr underlying);

    Code code_;
    std::exception_ptr underlying_;
};

}  // namespace quillmere
