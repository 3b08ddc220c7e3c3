#pragma once

#include <optional>

#include "core/reading/dng_xmp_exchange.h"
#include "core/reading/sealed_file.h"
#include "reader/service/job.h"

namespace quillmere::reader {

// The DNG XMP job (reader_protocol::JobKind::dngXmp): the XMP packet a DNG export writes, built
// from the packet the DNG carries (a sealed memory file), the record and the creator switch
// (dng_xmp_exchange.h, dngExportXmpPacket), within the budget the packet's and the record's size
// set (metadataBudget). A packet that does not parse is replaced by a fresh one, as the export
// does; one that cannot be written is refused, and the program builds its own from nothing.
class DngXmpJob final : public Job {
  public:
    Claim claim(const Photo& photo, const Request& request) override;
    Answer run(const Photo& photo, const Request& request) override;

  private:
    dng_xmp_exchange::Params params_;
    std::optional<SealedFile> packet_;
};

}  // namespace quillmere::reader
