#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/common/error.h"

namespace quillmere {

// Failures of the develop kernels (tone, sharpening, RAW chroma smoothing) while they are built
// or encoded.
class KernelError : public Error {
  public:
    enum class Code { functionNotFound, encoderCreationFailed };

    // The kernel library holds no function of this name.
    static KernelError functionNotFound(const std::string& name) {
        return KernelError(Code::functionNotFound, "ToneKernel: MSL function '" + name +
                                                       "' not found in runtime-compiled library");
    }
    // The command buffer would not give a compute encoder (it was already committed, or
    // another encoder is still open).
    static KernelError encoderCreationFailed() {
        return KernelError(Code::encoderCreationFailed,
                           "ToneKernel: could not create a compute encoder");
    }

    Code code() const { return code_; }

  private:
    KernelError(Code code, const std::string& description) : Error(description), code_(code) {}

    Code code_;
};

// A texture or buffer a kernel needs could not be allocated. It carries no sentence of its
// own: the application words it; what() is the generic text for an error without one.
class BufferError : public Error {
  public:
    enum class Code { allocationFailed };

    static BufferError allocationFailed() { return BufferError(Code::allocationFailed); }

    Code code() const { return code_; }
    friend bool operator==(const BufferError& a, const BufferError& b) {
        return a.code_ == b.code_;
    }

  private:
    explicit BufferError(Code code)
        : Error("The operation couldn’t be completed. (ToneKernel.BufferError error 0.)"),
          code_(code) {}

    Code code_;
};

}  // namespace quillmere

template <>
struct std::hash<quillmere::BufferError> {
    std::size_t operator()(const quillmere::BufferError& error) const noexcept {
        return std::hash<int>{}(static_cast<int>(error.code()));
    }
};
