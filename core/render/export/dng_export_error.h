#pragma once

#include "core/common/error.h"

namespace quillmere {

// Why a DNG export could not produce a file. Each case has one fixed sentence for the user.
class DNGExportError : public Error {
public:
    enum class Code {
        invalidDNG,
        converterRequired,
        conversionFailed,
        rasterNotSupported,
        externalConverterUnavailable,
    };

    explicit DNGExportError(Code code);

    Code code() const { return code_; }
    bool operator==(const DNGExportError& other) const { return code_ == other.code_; }

private:
    Code code_;
};

}  // namespace quillmere
