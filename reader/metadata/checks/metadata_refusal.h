#pragma once

#include <stdexcept>
#include <string>

namespace quillmere::metadata {

// A block of metadata whose structure claims more than it holds, or which the program cannot check
// before the metadata library reads it. Its message says which bound it passed.
class MetadataRefusal : public std::runtime_error {
  public:
    explicit MetadataRefusal(const std::string& reason) : std::runtime_error(reason) {}
};

}  // namespace quillmere::metadata
