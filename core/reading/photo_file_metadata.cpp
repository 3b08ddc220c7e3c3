#include "core/reading/photo_file_metadata.h"

#include <utility>

#include "core/reading/photo_reader.h"
#include "core/reading/wire.h"

namespace quillmere {
namespace {

const std::shared_ptr<const PhotoFileMetadata>& leftOut() {
    static const auto none = std::make_shared<const PhotoFileMetadata>();
    return none;
}

}  // namespace

PhotoMetadataStore::PhotoMetadataStore(std::function<PhotoReader&()> reader,
                                       std::size_t memoryBudget)
    : reader_(std::move(reader)), memoryBudget_(memoryBudget) {}

PhotoMetadataStore& PhotoMetadataStore::forProcess() {
    static PhotoMetadataStore store([]() -> PhotoReader& { return PhotoReader::forProcess(); },
                                    kMemoryBudget);
    return store;
}

std::shared_ptr<const PhotoFileMetadata> PhotoMetadataStore::read(const OpenedFile& file) {
    const FileVersion& version = file.version();
    std::shared_ptr<Pending> pending;
    {
        std::unique_lock lock(lock_);
        if (const auto found = kept_.find(version); found != kept_.end()) {
            uses_.splice(uses_.begin(), uses_, found->second.use);
            return found->second.answer;
        }
        if (const auto reading = pending_.find(version); reading != pending_.end()) {
            const std::shared_ptr<Pending> awaited = reading->second;
            changed_.wait(lock, [&] { return awaited->answer != nullptr; });
            return awaited->answer;
        }
        pending = pending_.emplace(version, std::make_shared<Pending>()).first->second;
    }
    std::shared_ptr<const PhotoFileMetadata> answer = ask(file);
    {
        const std::lock_guard lock(lock_);
        pending->answer = answer;
        pending_.erase(version);
        if (answer != leftOut()) keep(version, answer);
    }
    changed_.notify_all();
    return answer;
}

std::shared_ptr<const PhotoFileMetadata> PhotoMetadataStore::ask(const OpenedFile& file) const {
    try {
        ReaderAnswer answer =
            reader_().ask(file, ReaderRequest{reader_protocol::JobKind::metadata, {}, {}});
        // The answer takes no files; one that came with any is no answer of this job.
        if (!answer.files.empty()) return leftOut();
        return std::make_shared<const PhotoFileMetadata>(metadata_answer::decode(answer.body));
    } catch (const ReadingError&) {
        return leftOut();
    } catch (const WireError&) {
        return leftOut();
    }
}

void PhotoMetadataStore::keep(const FileVersion& version,
                              std::shared_ptr<const PhotoFileMetadata> answer) {
    const std::size_t bytes = answer->memoryBytes();
    if (bytes > memoryBudget_) return;
    while (keptBytes_ + bytes > memoryBudget_) {
        const auto oldest = kept_.find(uses_.back());
        keptBytes_ -= oldest->second.bytes;
        kept_.erase(oldest);
        uses_.pop_back();
    }
    uses_.push_front(version);
    kept_.emplace(version, Kept{std::move(answer), bytes, uses_.begin()});
    keptBytes_ += bytes;
}

std::size_t PhotoMetadataStore::keptAnswers() const {
    const std::lock_guard lock(lock_);
    return kept_.size();
}

std::size_t PhotoMetadataStore::keptBytes() const {
    const std::lock_guard lock(lock_);
    return keptBytes_;
}

std::shared_ptr<const PhotoFileMetadata> readPhotoFileMetadata(const OpenedFile& file) {
    return PhotoMetadataStore::forProcess().read(file);
}

std::shared_ptr<const PhotoFileMetadata> readPhotoFileMetadata(const std::filesystem::path& file) {
    std::shared_ptr<const OpenedFile> opened;
    try {
        opened = OpenedFile::open(file);
    } catch (const ReadingError&) {
        return leftOut();
    }
    return readPhotoFileMetadata(*opened);
}

}  // namespace quillmere
