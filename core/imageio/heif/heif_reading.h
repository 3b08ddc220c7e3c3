#pragma once

#include <memory>
#include <string_view>

#include <libheif/heif.h>

// What the HEIF decoder and the HEIF thumbnail share: libheif's objects with their owners, and
// reading a file so that no size it states, and no size hidden behind one, is trusted.
namespace quillmere::heif_reading {

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

struct File {
    Pointer<heif_context> context;
    Pointer<heif_image_handle> primary;
};

// Reads `bytes`, which must outlive the result, and takes its primary image. It refuses a primary
// image of more than LinearImage::maxPixelCount pixels (imageTooLarge) and a file that
// checkHeifItems finds at fault (corruptImage), and sets libheif's size limit to the longest side
// that the primary image and the images it is made from state, so that libheif refuses any larger
// coded picture or canvas before decoding or making it. Throws ImageIOError.
File read(std::string_view bytes);

// The primary image decoded into `colorspace` and `chroma`, with its rotation and mirroring
// applied. Throws ImageIOError, corruptImage when libheif meets a picture or canvas beyond the
// limit that read() set, and when the decoded image's size is neither the size its handle states
// nor that size with its sides exchanged.
Pointer<heif_image> decodePrimary(const File& file, heif_colorspace colorspace, heif_chroma chroma,
                                  const heif_decoding_options& options);

}  // namespace quillmere::heif_reading
