#pragma once

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>

#include "core/reading/metadata_answer.h"
#include "core/reading/opened_file.h"

namespace quillmere {

class PhotoReader;

// The metadata of photo files as the photo reader read them (the metadata job), kept per file
// version within a small memory budget, so that every user of one version's metadata (the loader's
// properties at open, the window's edit record, the export's capture metadata) shares one read.
//
// Metadata the reader could not read within its budget, or at all, is left out: the answer is then
// empty, and is not kept here (the reader keeps the verdict of a file that exceeded its budget, so
// that the next user of the same version is answered at once). Two users asking for one version
// at once share its read. Safe to use from any thread; its lock is held only over its own state,
// never while a reader runs.
class PhotoMetadataStore {
  public:
    // What the program keeps: answers are a few kilobytes; an edit record with long repair strokes
    // a few hundred.
    static constexpr std::size_t kMemoryBudget = std::size_t{16} << 20;

    // Reads through the reader `reader` gives (it may throw ReadingError: the reader is missing);
    // keeps answers that add up to at most `memoryBudget` bytes (PhotoFileMetadata::memoryBytes),
    // the least recently used going first.
    PhotoMetadataStore(std::function<PhotoReader&()> reader, std::size_t memoryBudget);
    PhotoMetadataStore(const PhotoMetadataStore&) = delete;
    PhotoMetadataStore& operator=(const PhotoMetadataStore&) = delete;

    // The program's own, over PhotoReader::forProcess().
    static PhotoMetadataStore& forProcess();

    // The metadata of the version of `file` that was opened. Never throws.
    std::shared_ptr<const PhotoFileMetadata> read(const OpenedFile& file);

    // How many answers are kept, and the memory they hold.
    std::size_t keptAnswers() const;
    std::size_t keptBytes() const;

  private:
    // A read under way, which the users that ask meanwhile wait for.
    struct Pending {
        std::shared_ptr<const PhotoFileMetadata> answer;
    };
    struct Kept {
        std::shared_ptr<const PhotoFileMetadata> answer;
        std::size_t bytes = 0;
        std::list<FileVersion>::iterator use;
    };

    // The reader's answer for `file`; empty when it has none.
    std::shared_ptr<const PhotoFileMetadata> ask(const OpenedFile& file) const;
    void keep(const FileVersion& version, std::shared_ptr<const PhotoFileMetadata> answer);

    const std::function<PhotoReader&()> reader_;
    const std::size_t memoryBudget_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::map<FileVersion, std::shared_ptr<Pending>> pending_;
    std::map<FileVersion, Kept> kept_;
    // The kept versions, the most recently used first.
    std::list<FileVersion> uses_;
    std::size_t keptBytes_ = 0;
};

// The metadata of the photo `file` opened, through the program's own store. Never throws.
std::shared_ptr<const PhotoFileMetadata> readPhotoFileMetadata(const OpenedFile& file);
// The same for the photo at `file`, opened here; a file that cannot be opened has none.
std::shared_ptr<const PhotoFileMetadata> readPhotoFileMetadata(const std::filesystem::path& file);

}  // namespace quillmere
