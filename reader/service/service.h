#pragma once

#include "reader/service/job.h"

namespace quillmere::reader {

// The reader's life (reader_protocol.h), given its command line and its jobs: checks its
// arguments and its parent, sets its limits (limits.h), then answers the program's requests on
// the channel, each with the job `makeJob` makes for it (or the session's job, for a follow-up it
// takes), until the channel's end of file. Returns the exit status: 0 at the channel's end or
// after a memory answer, reader_protocol::kUsage when the command line, the parent, the limits or
// what the program said were not as the protocol has them (a follow-up the session's job does not
// take included), kJobFailed when a job threw anything but a Refusal or std::bad_alloc.
int serve(int argc, char** argv, const JobMaker& makeJob);

// The exit status of a reader whose job failed in a way that says nothing of the photo.
inline constexpr int kJobFailed = 3;

// The refusal of a request no job takes.
inline constexpr const char* kUnknownJob = "This reader does not know that job.";

}  // namespace quillmere::reader
