#pragma once

#include <string>

#include "core/common/error.h"

namespace quillmere {

// A RAW photo could not be opened or developed by the RAW filter. `what()` is one sentence for
// the case, followed by the underlying words where there are any.
class RAWFilterError : public Error {
  public:
    enum class Code {
        unsupportedFile,     // not a three-colour Bayer RAW with image data that LibRaw reads
        developFailed,       // LibRaw could not develop the sensor data
        outOfMemory,         // the image is beyond what the program allocates, or memory ran out
        unsupportedSetting,  // a setting the development cannot honour
    };

    RAWFilterError(Code code, const std::string& detail);

    Code code() const { return code_; }

  private:
    Code code_;
};

}  // namespace quillmere
