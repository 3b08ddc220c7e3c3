#include "core/edit/checkpoint_store_error.h"

#include <utility>

namespace quillmere {

CheckpointStoreError::CheckpointStoreError(Code code, std::string message)
    : Error(code == Code::ioFailure ? message : "CheckpointStoreError.invalidName"),
      code_(code),
      message_(std::move(message)) {}

CheckpointStoreError CheckpointStoreError::ioFailure(std::string message) {
    return {Code::ioFailure, std::move(message)};
}

CheckpointStoreError CheckpointStoreError::invalidName() { return {Code::invalidName, {}}; }

}  // namespace quillmere
