#pragma once

#include <string>

#include "core/common/error.h"

namespace quillmere {

// Why a RAW file's sensor data could not be read, developed or put on the compute device. Used by
// the sensor frame and by the LibRaw fallback decode; `what()` is the user-facing sentence.
class NativeRAWError : public Error {
  public:
    enum class Code { decoding, incompatibleTexture, allocation };

    // The decoder's own sentence (the bridge's message), shown as it stands.
    static NativeRAWError decoding(const std::string& message);
    static NativeRAWError incompatibleTexture();
    static NativeRAWError allocation();

    Code code() const { return code_; }

  private:
    NativeRAWError(Code code, const std::string& description);

    Code code_;
};

}  // namespace quillmere
