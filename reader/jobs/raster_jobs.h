#pragma once

#include <memory>

#include "reader/service/job.h"

namespace quillmere::reader {

// The jobs that read a raster photo (a JPEG or HEIF file, told by its bytes): rasterImage, the
// whole photo upright as the program's textures hold it, and rasterThumbnail, the filmstrip's
// picture of it (core/reading/raster_answers.h says what they answer). Their claim is read by the
// program's own checks of the file (and libjpeg's header read, libheif's box read), which refuse
// what no photo is; their budget is what an honest photo of that claim needs (raster_budget.h).
std::unique_ptr<Job> makeRasterImageJob();
std::unique_ptr<Job> makeRasterThumbnailJob();

}  // namespace quillmere::reader
