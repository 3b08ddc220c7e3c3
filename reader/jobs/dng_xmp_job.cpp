#include "reader/jobs/dng_xmp_job.h"

#include <fcntl.h>

#include <string>
#include <string_view>

#include "core/imageio/dng_export_xmp.h"
#include "core/imageio/imageio_error.h"
#include "reader/metadata/metadata_budget.h"
#include "reader/metadata/xmp_parsing.h"

namespace quillmere::reader {

Claim DngXmpJob::claim(const Photo&, const Request& request) {
    params_ = dng_xmp_exchange::decodeParams(request.params);
    if (request.files.size() != 1) throw Refusal("A DNG's XMP packet comes as one sealed file.");
    // The request keeps its descriptor; the packet is taken through a copy of it.
    packet_ = SealedFile::accept(fcntl(request.files.front().get(), F_DUPFD_CLOEXEC, 0),
                                 params_.packetBytes);
    if (!packet_) throw Refusal("A DNG's XMP packet comes as a sealed file of its size.");
    const std::uint64_t bytes = params_.packetBytes + (params_.record ? params_.record->size() : 0);
    const MetadataBudget budget = metadataBudget(bytes);
    return {budget.memoryBytes, budget.processorTime,
            "an XMP packet of " + std::to_string(params_.packetBytes) + " bytes"};
}

Answer DngXmpJob::run(const Photo&, const Request&) {
    const std::string_view packet(reinterpret_cast<const char*>(packet_->data()), packet_->size());
    std::optional<XmpDocument> xmp = parseXmpPacket(packet);
    try {
        return {
            dng_xmp_exchange::encodeAnswer(dngExportXmpPacket(
                xmp ? std::move(*xmp) : XmpDocument(), params_.record, params_.includeSoftware)),
            {}};
    } catch (const ImageIOError& error) {
        throw Refusal(error.what());
    }
}

}  // namespace quillmere::reader
