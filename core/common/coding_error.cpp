#include "core/common/coding_error.h"

#include <utility>

namespace quillmere {
namespace {

const char* sentenceFor(DecodingError::Kind kind) {
    switch (kind) {
        case DecodingError::Kind::keyNotFound:
        case DecodingError::Kind::valueNotFound:
            return "The data couldn’t be read because it is missing.";
        case DecodingError::Kind::typeMismatch:
        case DecodingError::Kind::dataCorrupted:
            break;
    }
    return "The data couldn’t be read because it isn’t in the correct format.";
}

}  // namespace

DecodingError::DecodingError(Kind kind, CodingPath codingPath, std::string debugDescription)
    : Error(sentenceFor(kind)),
      kind_(kind),
      codingPath_(std::move(codingPath)),
      debugDescription_(std::move(debugDescription)) {}

DecodingError DecodingError::typeMismatch(const CodingPath& path, const std::string& expected) {
    return {Kind::typeMismatch, path, "Expected to decode " + expected + " but found another type."};
}

DecodingError DecodingError::dataCorrupted(const CodingPath& path, const std::string& description) {
    return {Kind::dataCorrupted, path, description};
}

DecodingError DecodingError::keyNotFound(const CodingPath& path, const std::string& key) {
    return {Kind::keyNotFound, path / key, "No value associated with key \"" + key + "\"."};
}

DecodingError DecodingError::valueNotFound(const CodingPath& path, const std::string& expected) {
    return {Kind::valueNotFound, path, "Expected " + expected + " value but found null instead."};
}

EncodingError::EncodingError(CodingPath codingPath, std::string debugDescription)
    : Error("The data couldn’t be written because it isn’t in the correct format."),
      codingPath_(std::move(codingPath)),
      debugDescription_(std::move(debugDescription)) {}

}  // namespace quillmere
