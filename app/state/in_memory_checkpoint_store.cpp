#include "app/state/in_memory_checkpoint_store.h"

#include <algorithm>

#include "app/state/standardized_path.h"
#include "core/edit/unicode_text.h"

namespace quillmere {
namespace {

std::string keyOf(const std::filesystem::path& photoURL) {
    return standardizedPath(photoURL).native();
}

}  // namespace

std::vector<EditCheckpoint> InMemoryCheckpointStore::checkpoints(
    const std::filesystem::path& photoURL) {
    const auto found = storage.find(keyOf(photoURL));
    if (found == storage.end()) return {};
    std::vector<EditCheckpoint> list = found->second;
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.createdAt < b.createdAt; });
    return list;
}

void InMemoryCheckpointStore::save(const EditCheckpoint& checkpoint,
                                   const std::filesystem::path& photoURL) {
    if (trimmingWhitespaceAndNewlines(checkpoint.name).empty()) {
        throw CheckpointStoreError::invalidName();
    }
    std::vector<EditCheckpoint>& list = storage[keyOf(photoURL)];
    const auto existing = std::find_if(
        list.begin(), list.end(), [&](const auto& stored) { return stored.id == checkpoint.id; });
    if (existing != list.end()) {
        *existing = checkpoint;
    } else {
        list.push_back(checkpoint);
    }
}

void InMemoryCheckpointStore::deleteCheckpoint(const EditCheckpoint& checkpoint,
                                               const std::filesystem::path& photoURL) {
    const auto found = storage.find(keyOf(photoURL));
    if (found == storage.end()) return;
    std::erase_if(found->second, [&](const auto& stored) { return stored.id == checkpoint.id; });
}

}  // namespace quillmere
