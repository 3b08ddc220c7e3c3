#include "reader/jobs/job_registry.h"

#include "reader/jobs/dng_xmp_job.h"
#include "reader/jobs/metadata_job.h"
#include "reader/jobs/raster_jobs.h"

namespace quillmere::reader {

std::unique_ptr<Job> makeJob(reader_protocol::JobKind kind) {
    switch (kind) {
        case reader_protocol::JobKind::rasterImage:
            return makeRasterImageJob();
        case reader_protocol::JobKind::rasterThumbnail:
            return makeRasterThumbnailJob();
        case reader_protocol::JobKind::metadata:
            return std::make_unique<MetadataJob>();
        case reader_protocol::JobKind::dngXmp:
            return std::make_unique<DngXmpJob>();
        default:
            return nullptr;
    }
}

}  // namespace quillmere::reader
