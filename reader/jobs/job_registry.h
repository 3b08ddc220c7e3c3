#pragma once

#include <memory>

#include "reader/service/job.h"

namespace quillmere::reader {

// The reader's job for each kind of request it knows; null for any other, which the reader
// refuses (kUnknownJob).
std::unique_ptr<Job> makeJob(reader_protocol::JobKind kind);

}  // namespace quillmere::reader
