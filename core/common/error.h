#pragma once

#include <stdexcept>
#include <string>

namespace quillmere {

// Base of every error the program reports. Each component derives its own error type with a
// `Code` for its cases; `what()` is the user-facing sentence.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Thrown when the operation was cancelled by its caller. The application drops it silently.
class CancellationError : public Error {
public:
    CancellationError() : Error("The operation was cancelled.") {}
};

}  // namespace quillmere
