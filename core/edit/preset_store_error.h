#pragma once

#include <string>

#include "core/common/error.h"

namespace quillmere {

// Why a preset could not be saved, deleted or listed. The application words each case for the
// user; only `ioFailure` carries a text, which `what()` also returns. For the other cases
// `what()` names the case, for logs and test output.
class PresetStoreError : public Error {
  public:
    enum class Code {
        ioFailure,          // a folder or file could not be created, written, found or removed
        builtInIsReadOnly,  // a save or delete named a built-in folder
        invalidName,        // a save or delete named an invalid preset or folder
        noSelection,        // raised by the application: saving with no group chosen
    };

    static PresetStoreError ioFailure(std::string message);
    static PresetStoreError builtInIsReadOnly();
    static PresetStoreError invalidName();
    static PresetStoreError noSelection();

    Code code() const { return code_; }
    // The text of an `ioFailure`; empty for the other cases.
    const std::string& message() const { return message_; }

    bool operator==(const PresetStoreError& other) const {
        return code_ == other.code_ && message_ == other.message_;
    }

  private:
    PresetStoreError(Code code, std::string message);

    Code code_;
    std::string message_;
};

}  // namespace quillmere
