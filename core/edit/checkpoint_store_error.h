#pragma once

#include <string>

#include "core/common/error.h"

namespace quillmere {

// Why checkpoints could not be listed, saved or deleted. The application words each case for the
// user; only `ioFailure` carries a text, which `what()` also returns. For `invalidName`, `what()`
// names the case, for logs and test output.
class CheckpointStoreError : public Error {
  public:
    enum class Code {
        ioFailure,    // a file could not be read, decoded, encoded or written, or the checkpoint
                      // to delete is not in the list
        invalidName,  // the checkpoint to save has a blank name
    };

    static CheckpointStoreError ioFailure(std::string message);
    static CheckpointStoreError invalidName();

    Code code() const { return code_; }

    bool operator==(const CheckpointStoreError& other) const {
        return code_ == other.code_ && message_ == other.message_;
    }

  private:
    CheckpointStoreError(Code code, std::string message);

    Code code_;
    std::string message_;
};

}  // namespace quillmere
