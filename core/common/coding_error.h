#pragma once

#include <string>

#include "core/common/coding_path.h"
#include "core/common/error.h"

namespace quillmere {

// A value could not be decoded from JSON. `what()` is the user-facing sentence; the kind, the
// path and the debug description say what exactly was wrong.
class DecodingError : public Error {
public:
    enum class Kind { typeMismatch, dataCorrupted, keyNotFound, valueNotFound };

    DecodingError(Kind kind, CodingPath codingPath, std::string debugDescription);

    Kind kind() const { return kind_; }
    const CodingPath& codingPath() const { return codingPath_; }
    const std::string& debugDescription() const { return debugDescription_; }

    static DecodingError typeMismatch(const CodingPath& path, const std::string& expected);
    static DecodingError dataCorrupted(const CodingPath& path, const std::string& description);
    static DecodingError keyNotFound(const CodingPath& path, const std::string& key);
    static DecodingError valueNotFound(const CodingPath& path, const std::string& expected);

private:
    Kind kind_;
    CodingPath codingPath_;
    std::string debugDescription_;
};

// A value could not be encoded as JSON: a non-finite number, which JSON cannot hold. Writing
// `null` instead would make the saved file unreadable, so the write fails.
class EncodingError : public Error {
public:
    EncodingError(CodingPath codingPath, std::string debugDescription);

    const CodingPath& codingPath() const { return codingPath_; }
    const std::string& debugDescription() const { return debugDescription_; }

private:
    CodingPath codingPath_;
    std::string debugDescription_;
};

}  // namespace quillmere
