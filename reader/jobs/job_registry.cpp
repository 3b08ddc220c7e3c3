#include "reader/jobs/job_registry.h"

#include "reader/jobs/raster_jobs.h"

namespace quillmere::reader {

std::unique_ptr<Job> makeJob(reader_protocol::JobKind kind) {
    switch (kind) {
        case reader_protocol::JobKind::rasterImage:
            return makeRasterImageJob();
        case reader_protocol::JobKind::rasterThumbnail:
            return makeRasterThumbnailJob();
        default:
            return nullptr;
    }
}

}  // namespace quillmere::reader
