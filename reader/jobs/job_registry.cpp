#include "reader/jobs/job_registry.h"

#include "reader/jobs/dng_xmp_job.h"
#include "reader/jobs/metadata_job.h"
#include "reader/jobs/raster_jobs.h"
#include "reader/jobs/raw_jobs.h"

namespace quillmere::reader {

std::unique_ptr<Job> makeJob(reader_protocol::JobKind kind) {
    using reader_protocol::JobKind;
    switch (kind) {
        case JobKind::rasterImage:
            return makeRasterImageJob();
        case JobKind::rasterThumbnail:
            return makeRasterThumbnailJob();
        case JobKind::metadata:
            return std::make_unique<MetadataJob>();
        case JobKind::dngXmp:
            return std::make_unique<DngXmpJob>();
        case JobKind::rawSensor:
            return makeRAWSensorJob();
        case JobKind::rawDevelopment:
            return makeRAWDevelopmentJob();
        case JobKind::rawThumbnail:
            return makeRAWThumbnailJob();
        default:
            return nullptr;
    }
}

}  // namespace quillmere::reader
