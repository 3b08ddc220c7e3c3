#include "core/decode/raw_filter_error.h"

namespace quillmere {
namespace {

const char* sentenceFor(RAWFilterError::Code code) {
    switch (code) {
        case RAWFilterError::Code::unsupportedFile:
            return "The file is not a RAW photo the RAW filter can develop.";
        case RAWFilterError::Code::developFailed:
            return "The RAW photo could not be developed.";
        case RAWFilterError::Code::outOfMemory:
            return "There is not enough memory to develop the RAW photo.";
        case RAWFilterError::Code::unsupportedSetting:
            return "The RAW filter does not support this setting.";
    }
    return "The RAW photo could not be developed.";
}

std::string messageFor(RAWFilterError::Code code, const std::string& detail) {
    std::string message = sentenceFor(code);
    if (!detail.empty()) message += " " + detail;
    return message;
}

}  // namespace

RAWFilterError::RAWFilterError(Code code, const std::string& detail)
    : Error(messageFor(code, detail)), code_(code) {}

}  // namespace quillmere
