#include "core/imageio/heif/heif_reading.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "core/imageio/heif/heif_item_checks.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/linear_image_assembler.h"

namespace quillmere::heif_reading {
namespace {

// libheif's own limit on a picture's side, which its readers keep unless told otherwise.
constexpr std::uint64_t kLibheifSideLimit = 32768;

}  // namespace

void check(const heif_error& error) {
    if (error.code == heif_error_Ok) return;
    std::string detail = error.message != nullptr ? error.message : "";
    detail.erase(detail.find_last_not_of(" \n") + 1);
    if (error.subcode == heif_suberror_Security_limit_exceeded) {
        throw ImageIOError(ImageIOError::Code::imageTooLarge, detail);
    }
    if (error.code == heif_error_Memory_allocation_error) {
        throw ImageIOError(ImageIOError::Code::outOfMemory, detail);
    }
    throw ImageIOError(ImageIOError::Code::corruptImage, detail);
}

File read(std::string_view bytes) {
    File file;
    file.context.reset(heif_context_alloc());
    if (!file.context) throw ImageIOError(ImageIOError::Code::outOfMemory);
    check(heif_context_read_from_memory_without_copy(file.context.get(), bytes.data(),
                                                      bytes.size(), nullptr));
    heif_image_handle* primary = nullptr;
    check(heif_context_get_primary_image_handle(file.context.get(), &primary));
    file.primary.reset(primary);
    LinearImageAssembler::checkSize(heif_image_handle_get_width(primary),
                                    heif_image_handle_get_height(primary));
    const HeifItemChecks items = checkHeifItems(bytes);
    if (items.fault) throw ImageIOError(ImageIOError::Code::corruptImage, *items.fault);
    // libheif refuses a coded picture, a grid or an overlay canvas with a side at its limit or
    // beyond before decoding or making it. None is larger than the largest size the primary
    // image's items state, which a coded picture may pad to whole 64-pixel blocks; and never more
    // than libheif allows by default.
    const std::uint64_t limit = (items.longestStatedSide + 63) / 64 * 64 + 1;
    heif_context_set_maximum_image_size_limit(
        file.context.get(), static_cast<int>(std::min(limit, kLibheifSideLimit)));
    return file;
}

Pointer<heif_image> decodePrimary(const File& file, heif_colorspace colorspace, heif_chroma chroma,
                                  const heif_decoding_options& options) {
    heif_image* decoded = nullptr;
    const heif_error error =
        heif_decode_image(file.primary.get(), &decoded, colorspace, chroma, &options);
    Pointer<heif_image> image(decoded);
    // The limit is the largest size the file states (see read).
    if (error.subcode == heif_suberror_Security_limit_exceeded) {
        throw ImageIOError(ImageIOError::Code::corruptImage,
                           "It holds a picture larger than the sizes it states.");
    }
    check(error);
    const int width = heif_image_get_primary_width(image.get());
    const int height = heif_image_get_primary_height(image.get());
    const int statedWidth = heif_image_handle_get_width(file.primary.get());
    const int statedHeight = heif_image_handle_get_height(file.primary.get());
    // Some cameras state the size of the photo as displayed while the picture is coded in the
    // sensor's orientation and turned by the file's rotation: the sides come exchanged. The photo
    // is then the size it decodes to.
    const bool asStated = width == statedWidth && height == statedHeight;
    const bool exchanged = width == statedHeight && height == statedWidth;
    if (!asStated && !exchanged) {
        throw ImageIOError(ImageIOError::Code::corruptImage,
                           "It decodes to " + std::to_string(width) + " × " +
                               std::to_string(height) + " pixels, not the " +
                               std::to_string(statedWidth) + " × " +
                               std::to_string(statedHeight) + " it states.");
    }
    return image;
}

}  // namespace quillmere::heif_reading
