#pragma once

#include <filesystem>
#include <vector>

#include "core/edit/checkpoint_store_error.h"
#include "core/edit/edit_checkpoint.h"

namespace quillmere {

// Where the application lists, saves and deletes the checkpoints of a photo, keyed by the photo's
// path. Every call may throw; failures of the store itself are CheckpointStoreError.
class CheckpointStore {
  public:
    virtual ~CheckpointStore() = default;

    // The photo's checkpoints, oldest first.
    virtual std::vector<EditCheckpoint> checkpoints(const std::filesystem::path& photoURL) = 0;
    // Adds `checkpoint`, or replaces the one with the same id.
    virtual void save(const EditCheckpoint& checkpoint, const std::filesystem::path& photoURL) = 0;
    // Removes the checkpoint with the same id.
    virtual void deleteCheckpoint(const EditCheckpoint& checkpoint,
                                  const std::filesystem::path& photoURL) = 0;
};

}  // namespace quillmere
