// quillmere-reader PROGRAM_PID MEMORY_CEILING_BYTES
//
// The program's photo reader: every library that reads a photo's bytes runs here, in a process of
// its own, under the budget the photo's own claims set, never in the program's process
// (core/reading/reader_protocol.h says how the two talk).
#include "reader/jobs/job_registry.h"
#include "reader/service/service.h"

int main(int argc, char** argv) {
    return quillmere::reader::serve(argc, argv, quillmere::reader::makeJob);
}
