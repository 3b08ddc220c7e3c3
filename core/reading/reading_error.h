#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/common/error.h"

namespace quillmere {

// Why a photo was not read, in a sentence for the user that names the file by its name (or, for
// a reader that is missing, the part that is).
class ReadingError : public Error {
  public:
    enum class Kind {
        notFound,        // no file at the path
        notRegularFile,  // a folder, FIFO, device or socket, which is never read as a photo
        unreadable,      // the file cannot be opened
        refused,         // the reader refused the file in its own words (its claims, or the
                         // library's refusal)
        timedOut,        // the reader used up the processor time its claim allowed
        crashed,         // the reader died by a signal of its own fault
        exceededMemory,  // the file needs more memory than its claim, or than any reader has
        notRead,         // anything else: no answer, an answer that is not one, killed from
                         // outside, stopped, or an end that could not be read
        readerMissing,   // the reader program cannot be found or started
    };

    // The error of `file`. `detail` is the reader's own sentence for `refused`, and what the
    // reader claimed ("a photo of 6000 × 4000 pixels") for `timedOut` and `exceededMemory`:
    // "NAME needs more processor time than a photo of 6000 × 4000 pixels may take."; without a
    // claim, "a photo".
    ReadingError(Kind kind, const std::filesystem::path& file, std::string_view detail = {});

    // The reader is not in `folder`, where the program looks for it: "Quillmere's photo reader
    // quillmere-reader is missing: it is not in FOLDER. Install Quillmere again." (a program run
    // from its build tree: "Build Quillmere again.").
    static ReadingError readerNotIn(const std::filesystem::path& folder, bool inBuildTree);
    // The reader cannot be found for another reason, which `sentence` gives.
    static ReadingError missingReader(std::string sentence);

    Kind kind() const { return kind_; }
    const char* what() const noexcept override { return sentence_.c_str(); }

  private:
    ReadingError(std::string sentence, Kind kind);

    Kind kind_;
    // Its own copy of the sentence, the base's message left empty: copies of one error pass
    // between threads (a kept verdict, a session's answer), and the base's message is one
    // reference-counted string its copies share, counted where ThreadSanitizer cannot see.
    std::string sentence_;
};

}  // namespace quillmere
