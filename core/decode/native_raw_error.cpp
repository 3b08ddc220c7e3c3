#include "core/decode/native_raw_error.h"

namespace quillmere {

NativeRAWError::NativeRAWError(Code code, const std::string& description)
    : Error(description), code_(code) {}

NativeRAWError NativeRAWError::decoding(const std::string& message) {
    return {Code::decoding, message};
}

NativeRAWError NativeRAWError::incompatibleTexture() {
    return {Code::incompatibleTexture,
            "The denoised sensor texture has an incompatible size or format."};
}

NativeRAWError NativeRAWError::allocation() {
    return {Code::allocation, "Could not allocate memory for the native RAW image."};
}

}  // namespace quillmere
