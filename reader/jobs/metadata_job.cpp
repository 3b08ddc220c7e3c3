#include "reader/jobs/metadata_job.h"

#include <string>

#include "core/reading/metadata_answer.h"
#include "reader/metadata/file_metadata_reading.h"
#include "reader/metadata/metadata_budget.h"
#include "reader/metadata/metadata_extent.h"

namespace quillmere::reader {

Claim MetadataJob::claim(const Photo& photo, const Request& request) {
    if (!request.params.empty() || !request.files.empty()) {
        throw Refusal("The metadata of a photo is asked without parameters.");
    }
    file_ = MappedFile::map(photo.descriptor, photo.size);
    if (!file_) throw Refusal("The photo could not be mapped to read its metadata.");
    const std::uint64_t bytes = metadataExtentOf(file_->bytes());
    const MetadataBudget budget = metadataBudget(bytes);
    return {budget.memoryBytes, budget.processorTime,
            "a photo with " + std::to_string(bytes) + " bytes of metadata"};
}

Answer MetadataJob::run(const Photo& photo, const Request&) {
    return {metadata_answer::encode(
                metadata_answer::withinBounds(readFileMetadata(photo.procPath, file_->bytes()))),
            {}};
}

}  // namespace quillmere::reader
