#pragma once

#include <optional>

#include "core/common/error.h"
#include "core/edit/edit_params.h"

namespace quillmere {

// Why an edit could not be copied or pasted.
class EditClipboardError : public Error {
  public:
    enum class Code {
        writeFailed,         // "The edit could not be copied to the clipboard."
        unsupportedVersion,  // "The copied edit was made by an unsupported version."
    };

    static EditClipboardError writeFailed();
    static EditClipboardError unsupportedVersion();

    Code code() const { return code_; }

  private:
    EditClipboardError(Code code, const char* sentence) : Error(sentence), code_(code) {}

    Code code_;
};

// Where edits are copied to and pasted from. Used on the GUI thread only.
class EditClipboard {
  public:
    virtual ~EditClipboard() = default;

    // The clipboard holds an edit of this program.
    virtual bool containsEdit() = 0;
    // Replaces the clipboard's content with `params`. May throw.
    virtual void write(const EditParams& params) = 0;
    // The edit on the clipboard, or nothing when it holds none. May throw.
    virtual std::optional<EditParams> read() = 0;
};

}  // namespace quillmere
