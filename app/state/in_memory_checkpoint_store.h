#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/edit/checkpoint_store.h"

namespace quillmere {

// A checkpoint store in memory, for tests: each photo's list under its standardised path. Only a
// blank name fails.
class InMemoryCheckpointStore final : public CheckpointStore {
  public:
    // Oldest first; checkpoints of one date keep their stored order.
    std::vector<EditCheckpoint> checkpoints(const std::filesystem::path& photoURL) override;
    // Replaces the checkpoint with the same id in place (name untrimmed), or appends it. A name
    // blank after trimming throws CheckpointStoreError::invalidName.
    void save(const EditCheckpoint& checkpoint, const std::filesystem::path& photoURL) override;
    // Removes every checkpoint with the same id.
    void deleteCheckpoint(const EditCheckpoint& checkpoint,
                          const std::filesystem::path& photoURL) override;

    std::map<std::string, std::vector<EditCheckpoint>> storage;
};

}  // namespace quillmere
