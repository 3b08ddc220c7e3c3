#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "core/edit/checkpoint_store.h"

namespace quillmere {

// Keeps each photo's checkpoints in a JSON sidecar beside the photo ("<photo file
// name>.quillmere.json"), so they travel with it. Two older places are read, never written:
// the sidecar of the program's previous name ("<photo file name>.starlingmoor.json"), used while
// the current sidecar does not exist, and a central file mapping resolved photo paths to lists,
// whose entry for a photo is copied into a new sidecar the first time it is found. Nothing is
// cached: every call reads the disk anew. No lock is taken; two writers on one photo at the same
// time can lose an update.
class FileCheckpointStore final : public CheckpointStore {
  public:
    // `fileURL` is the central legacy file; by default "Checkpoints.json" in the application
    // folder.
    explicit FileCheckpointStore(std::optional<std::filesystem::path> fileURL = std::nullopt);

    // The photo's path made lexically normal, with ".quillmere.json" appended to its file name.
    static std::filesystem::path sidecarURL(const std::filesystem::path& photoURL);

    // Oldest first; checkpoints of the same date keep their stored order. Throws
    // CheckpointStoreError::ioFailure ("could not read <file name>: ...", "could not read legacy
    // checkpoints: ...", or a failure to write the sidecar migrated from the central file).
    std::vector<EditCheckpoint> checkpoints(const std::filesystem::path& photoURL) override;
    // Replaces the first checkpoint with the same id, whole (its name as given, untrimmed), or
    // appends it, and rewrites the sidecar in date order. Throws CheckpointStoreError:
    // invalidName, before any file is touched, when the name is blank after trimming; ioFailure
    // when reading or writing fails ("could not write <sidecar name>: ...").
    void save(const EditCheckpoint& checkpoint, const std::filesystem::path& photoURL) override;
    // Removes the first checkpoint with the same id and rewrites the sidecar, even when the list
    // becomes empty. Throws CheckpointStoreError::ioFailure, "checkpoint not found: <name>" when
    // no checkpoint has that id.
    void deleteCheckpoint(const EditCheckpoint& checkpoint,
                          const std::filesystem::path& photoURL) override;

  private:
    // The photo's list in stored order, migrating it from the central file when found there.
    std::vector<EditCheckpoint> load(const std::filesystem::path& photoURL) const;
    // Replaces the sidecar atomically with `checkpoints` in date order.
    void write(std::vector<EditCheckpoint> checkpoints,
               const std::filesystem::path& photoURL) const;

    std::filesystem::path legacyFileURL_;
};

}  // namespace quillmere
