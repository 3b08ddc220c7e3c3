#pragma once

#include <memory>

#include "reader/service/job.h"

// The RAW jobs (core/reading/raw_answers.h says what each is asked and answers): every LibRaw
// call of the program runs here, on the photo the program opened, through the bridge
// (rawbridge/qx_raw.h), each job under the budget raw_budget.h works out from the file's claims.
namespace quillmere::reader {

// rawSensor, a session: the sensor read once and kept, developed again by each follow-up
// (rawDevelop) from its own plane or from one the program sends.
std::unique_ptr<Job> makeRAWSensorJob();
// rawDevelopment: LibRaw's full development of any RAW file it opens.
std::unique_ptr<Job> makeRAWDevelopmentJob();
// rawThumbnail: the filmstrip's thumbnail, developed small and fitted to the longest side asked.
std::unique_ptr<Job> makeRAWThumbnailJob();

}  // namespace quillmere::reader
