#pragma once

#include <optional>

#include "reader/metadata/mapped_file.h"
#include "reader/service/job.h"

namespace quillmere::reader {

// The metadata job (reader_protocol::JobKind::metadata): a photo file's image properties, capture
// metadata and edit record (readFileMetadata), in one answer (metadata_answer.h), read within the
// budget the bytes its readers read set (metadataExtentOf, metadataBudget). It takes no params.
class MetadataJob final : public Job {
  public:
    Claim claim(const Photo& photo, const Request& request) override;
    Answer run(const Photo& photo, const Request& request) override;

  private:
    std::optional<MappedFile> file_;
};

}  // namespace quillmere::reader
