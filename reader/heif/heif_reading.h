#pragma once

#include <memory>
#include <string>
#include <string_view>

#include <libheif/heif.h>

#include "reader/heif/heif_item_checks.h"
#include "reader/heif/heif_items.h"

// libheif's side of reading a HEIF file: its objects with their owners, and giving it a file only
// once its items passed the checks, and only as it reads them the same way.
namespace quillmere::heif {

struct Deleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
    void operator()(heif_image* image) const { heif_image_release(image); }
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};
template <class T>
using Pointer = std::unique_ptr<T, Deleter>;

// Throws ImageIOError for a libheif failure, with libheif's words: imageTooLarge for its security
// limits, outOfMemory for its allocation failures, corruptImage for the others.
void check(const heif_error& error);

// The ICC profile the image's handle holds ('prof' or 'rICC'); empty without one.
std::string iccProfileOf(const heif_image_handle& handle);

// Whether libheif, having read a file into `context`, names the same primary image and the same
// images of the file's own, each stating the same size, as `items`, read from the same bytes.
bool libheifReadsAlike(heif_context& context, const Items& items);

struct LibheifFile {
    Pointer<heif_context> context;
    Pointer<heif_image_handle> primary;
    // What the checks found before libheif was given the file.
    HeifItemChecks checks;
};

// Gives libheif `bytes` (which must outlive the result), whose boxes `items` read, and takes its
// primary image. Refuses (ImageIOError, corruptImage) a file that checkHeifItems finds at fault
// before libheif sees it, and one that libheif then reads otherwise (another primary image, other
// images of the file's own, another size stated for one of them). Refuses a primary image of more
// than LinearImage::maxPixelCount pixels (imageTooLarge). libheif's size limit is set to the longest
// side the decoded items state, so that it refuses any larger picture or canvas it would make.
LibheifFile openWithLibheif(std::string_view bytes, const Items& items);

// The primary image decoded into `colorspace` and `chroma`, with its rotation and mirroring
// applied. Throws ImageIOError: corruptImage when libheif meets a picture or canvas beyond the
// limit that openWithLibheif set, and when the decoded image's size is neither the size its handle
// states nor that size with its sides exchanged.
Pointer<heif_image> decodePrimary(const LibheifFile& file, heif_colorspace colorspace,
                                  heif_chroma chroma, const heif_decoding_options& options);

}  // namespace quillmere::heif
