#include "core/edit/file_checkpoint_store.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <system_error>
#include <utility>

#include "core/common/file_io.h"
#include "core/common/json_coding.h"
#include "core/edit/application_storage.h"
#include "core/edit/unicode_text.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

// Checkpoint files hold a few edits each; a far larger file is not one and is not read into
// memory.
constexpr std::uintmax_t kMaximumCheckpointFileBytes = std::uintmax_t{64} << 20;

std::vector<EditCheckpoint> decodeCheckpoints(const json::Json& value, const CodingPath& path) {
    return json::decodeArray(value, path, &EditCheckpoint::decode);
}

// The contents of a photo's sidecar.
struct CheckpointDocument {
    std::int64_t version = 1;
    std::string sourceFile;  // the photo's file name when written; never compared with the photo
    std::vector<EditCheckpoint> checkpoints;

    json::Json encode() const {
        json::Json list = json::Json::array();
        for (std::size_t index = 0; index < checkpoints.size(); ++index) {
            list.push_back(checkpoints[index].encode(CodingPath() / "checkpoints" / index));
        }
        return json::Json::object(
            {{"version", version}, {"sourceFile", sourceFile}, {"checkpoints", std::move(list)}});
    }

    // "version" must be present but its value is not checked: every version reads alike.
    static CheckpointDocument decode(const json::Json& value) {
        const CodingPath path;
        json::requireObject(value, path);
        return CheckpointDocument{
            .version = json::decodeRequired(value, "version", path, json::decodeInt),
            .sourceFile = json::decodeRequired(value, "sourceFile", path, json::decodeString),
            .checkpoints = json::decodeRequired(value, "checkpoints", path, decodeCheckpoints),
        };
    }
};

// The central legacy file: resolved photo path to that photo's list.
using LegacyCheckpoints = std::map<std::string, std::vector<EditCheckpoint>, std::less<>>;

LegacyCheckpoints decodeLegacyCheckpoints(const json::Json& value) {
    json::requireObject(value, {});
    LegacyCheckpoints checkpointsByPath;
    for (const auto& [photoPath, list] : value.items()) {
        checkpointsByPath.emplace(photoPath, decodeCheckpoints(list, CodingPath() / photoPath));
    }
    return checkpointsByPath;
}

// Reads `file` whole and decodes it; any failure is an ioFailure whose text is `failurePrefix`
// followed by the failure's description.
template <class Decode>
auto readCheckpointFile(const fs::path& file, const std::string& failurePrefix, Decode decode) {
    const auto text = file_io::readFile(file, kMaximumCheckpointFileBytes);
    if (!text) {
        throw CheckpointStoreError::ioFailure(failurePrefix + "The file “" +
                                              file.filename().string() + "” couldn’t be opened.");
    }
    try {
        return decode(json::parse(*text));
    } catch (const DecodingError& error) {
        throw CheckpointStoreError::ioFailure(failurePrefix + error.what());
    }
}

bool itemExists(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

// The photo's absolute path with symbolic links resolved, as the central file's keys are written.
// A photo that no longer exists keeps the unresolved rest of its path.
std::string resolvedPath(const fs::path& photoURL) {
    std::error_code error;
    fs::path path = fs::absolute(photoURL, error);
    if (error) path = photoURL;
    path = path.lexically_normal();
    const fs::path resolved = fs::weakly_canonical(path, error);
    return (error ? path : resolved).string();
}

void sortByCreationDate(std::vector<EditCheckpoint>& checkpoints) {
    std::ranges::stable_sort(checkpoints, {}, &EditCheckpoint::createdAt);
}

auto findByID(std::vector<EditCheckpoint>& checkpoints, const UUID& id) {
    return std::ranges::find(checkpoints, id, &EditCheckpoint::id);
}

}  // namespace

FileCheckpointStore::FileCheckpointStore(std::optional<fs::path> fileURL)
    : legacyFileURL_(fileURL ? std::move(*fileURL)
                             : ApplicationStorage::directory() / "Checkpoints.json") {}

fs::path FileCheckpointStore::sidecarURL(const fs::path& photoURL) {
    const fs::path standardized = photoURL.lexically_normal();
    return standardized.parent_path() / (standardized.filename().string() + ".quillmere.json");
}

std::vector<EditCheckpoint> FileCheckpointStore::checkpoints(const fs::path& photoURL) {
    auto checkpoints = load(photoURL);
    sortByCreationDate(checkpoints);
    return checkpoints;
}

void FileCheckpointStore::save(const EditCheckpoint& checkpoint, const fs::path& photoURL) {
    if (trimmingWhitespaceAndNewlines(checkpoint.name).empty()) {
        throw CheckpointStoreError::invalidName();
    }
    auto checkpoints = load(photoURL);
    if (const auto existing = findByID(checkpoints, checkpoint.id); existing != checkpoints.end()) {
        *existing = checkpoint;
    } else {
        checkpoints.push_back(checkpoint);
    }
    write(std::move(checkpoints), photoURL);
}

void FileCheckpointStore::deleteCheckpoint(const EditCheckpoint& checkpoint,
                                           const fs::path& photoURL) {
    auto checkpoints = load(photoURL);
    const auto existing = findByID(checkpoints, checkpoint.id);
    if (existing == checkpoints.end()) {
        throw CheckpointStoreError::ioFailure("checkpoint not found: " + checkpoint.name);
    }
    checkpoints.erase(existing);
    write(std::move(checkpoints), photoURL);
}

std::vector<EditCheckpoint> FileCheckpointStore::load(const fs::path& photoURL) const {
    const fs::path sidecar = sidecarURL(photoURL);
    const fs::path previousSidecar = photoURL.lexically_normal().parent_path() /
                                     (photoURL.filename().string() + ".starlingmoor.json");
    const fs::path& source = itemExists(sidecar) ? sidecar : previousSidecar;
    if (itemExists(source)) {
        return readCheckpointFile(source, "could not read " + source.filename().string() + ": ",
                                  CheckpointDocument::decode)
            .checkpoints;
    }

    if (!itemExists(legacyFileURL_)) return {};
    auto checkpointsByPath = readCheckpointFile(
        legacyFileURL_, "could not read legacy checkpoints: ", decodeLegacyCheckpoints);
    const auto found = checkpointsByPath.find(resolvedPath(photoURL));
    if (found == checkpointsByPath.end() || found->second.empty()) return {};
    // The photo's checkpoints move into its own sidecar; the central file stays as it is.
    write(found->second, photoURL);
    return std::move(found->second);
}

void FileCheckpointStore::write(std::vector<EditCheckpoint> checkpoints,
                                const fs::path& photoURL) const {
    sortByCreationDate(checkpoints);
    const fs::path sidecar = sidecarURL(photoURL);
    const std::string failurePrefix = "could not write " + sidecar.filename().string() + ": ";
    try {
        const CheckpointDocument document{.sourceFile = photoURL.filename().string(),
                                          .checkpoints = std::move(checkpoints)};
        file_io::writeFileAtomically(sidecar, json::dumpPretty(document.encode()));
    } catch (const EncodingError& error) {
        throw CheckpointStoreError::ioFailure(failurePrefix + error.what());
    } catch (const std::system_error& error) {
        throw CheckpointStoreError::ioFailure(failurePrefix + error.code().message());
    }
}

}  // namespace quillmere
