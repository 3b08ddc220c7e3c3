#pragma once

#include <filesystem>
#include <memory>

#include "core/compute/texture.h"
#include "core/imageio/rgb8_image.h"
#include "core/reading/photo_reader.h"

// A raster photo (a JPEG or HEIF file, told by its bytes) read by `reader`'s photo reader
// (core/reading/raster_answers.h): libjpeg, libheif and LittleCMS with the photo's own profile run
// there, under the budget of what the file claims, never in the program. The file is opened once
// for each call. Throws ReadingError: the file's (not found, not a regular file, unreadable), the
// reader's end (a refusal of a file that is no photo it reads, more memory or processor time than
// a photo of its claimed size may take, a crash, a missing reader), or notRead for an answer that
// is not one.
namespace quillmere {

// The photo upright as the engine's texture (RGBA16Float, shared, shader read and write, extended
// linear sRGB, bottom row first), made over the reader's sealed file without a copy: of the
// version `file` opened, or of the file at `file`, opened here.
std::shared_ptr<Texture> readRasterImage(PhotoReader& reader, const OpenedFile& file);
std::shared_ptr<Texture> readRasterImage(PhotoReader& reader, const std::filesystem::path& file);

// Its picture for the filmstrip: 8-bit sRGB, upright, its longer side at most `longestSide` (1 to
// raster_answers::kMaxThumbnailSide).
Rgb8Image readRasterThumbnail(PhotoReader& reader, const std::filesystem::path& file,
                              int longestSide);

}  // namespace quillmere
