#include "reader/jobs/job_registry.h"

#include "reader/jobs/raw_jobs.h"

namespace quillmere::reader {

std::unique_ptr<Job> makeJob(reader_protocol::JobKind kind) {
    using reader_protocol::JobKind;
    switch (kind) {
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
