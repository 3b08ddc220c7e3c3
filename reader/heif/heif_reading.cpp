#include "reader/heif/heif_reading.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "reader/heif/heif_item_checks.h"
#include "core/imageio/imageio_error.h"
#include "reader/raster/linear_image_assembler.h"

namespace quillmere::heif {
namespace {

// libheif's own limit on a picture's side, which its readers keep unless told otherwise.
constexpr std::uint64_t kLibheifSideLimit = 32768;

[[noreturn]] void refuse(const std::string& sentence) {
    throw ImageIOError(ImageIOError::Code::corruptImage, sentence);
}

}  // namespace

std::string iccProfileOf(const heif_image_handle& handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(&handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) return {};
    std::string profile(heif_image_handle_get_raw_color_profile_size(&handle), '\0');
    if (profile.empty() ||
        heif_image_handle_get_raw_color_profile(&handle, profile.data()).code != heif_error_Ok) {
        return {};
    }
    return profile;
}

bool libheifReadsAlike(heif_context& context, const Items& items) {
    heif_item_id primary = 0;
    if (heif_context_get_primary_image_ID(&context, &primary).code != heif_error_Ok ||
        primary != items.primary()) {
        return false;
    }
    const std::vector<ItemID> ours = items.topLevelImages();
    const int count = heif_context_get_number_of_top_level_images(&context);
    if (count < 0 || static_cast<std::size_t>(count) != ours.size()) return false;
    std::vector<heif_item_id> theirs(ours.size());
    heif_context_get_list_of_top_level_image_IDs(&context, theirs.data(), count);
    std::sort(theirs.begin(), theirs.end());
    if (!std::equal(theirs.begin(), theirs.end(), ours.begin())) return false;
    return std::all_of(ours.begin(), ours.end(), [&](ItemID image) {
        heif_image_handle* handle = nullptr;
        if (heif_context_get_image_handle(&context, image, &handle).code != heif_error_Ok) {
            return false;
        }
        const Pointer<heif_image_handle> owned(handle);
        const PixelSize stated = items.statedSize(image).value_or(PixelSize{});
        return static_cast<std::uint64_t>(heif_image_handle_get_ispe_width(handle)) == stated.width &&
               static_cast<std::uint64_t>(heif_image_handle_get_ispe_height(handle)) == stated.height;
    });
}

namespace {

// libheif words its size limit so; its other security limits (decode operations, transformations)
// are reported in its own words.
bool isSizeLimit(const heif_error& error) {
    return error.subcode == heif_suberror_Security_limit_exceeded && error.message != nullptr &&
           std::string(error.message).find("exceeds the maximum image size") != std::string::npos;
}

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

LibheifFile openWithLibheif(std::string_view bytes, const Items& items) {
    const HeifItemChecks checks = checkHeifItems(items);
    if (checks.fault) refuse(*checks.fault);

    LibheifFile file;
    file.checks = checks;
    file.context.reset(heif_context_alloc());
    if (!file.context) throw ImageIOError(ImageIOError::Code::outOfMemory);
    check(heif_context_read_from_memory_without_copy(file.context.get(), bytes.data(),
                                                      bytes.size(), nullptr));
    if (!libheifReadsAlike(*file.context, items)) refuse("Its boxes can be read in more than one way.");
    heif_image_handle* primary = nullptr;
    check(heif_context_get_primary_image_handle(file.context.get(), &primary));
    file.primary.reset(primary);
    LinearImageAssembler::checkSize(heif_image_handle_get_width(primary),
                                    heif_image_handle_get_height(primary));
    // libheif refuses a coded picture, a grid or an overlay canvas with a side at its limit or
    // beyond before decoding or making it. None is larger than the largest size the decoded items
    // state, which a coded picture may pad to whole 64-pixel blocks; and never more than libheif
    // allows by default.
    const std::uint64_t limit = (checks.longestStatedSide + 63) / 64 * 64 + 1;
    heif_context_set_maximum_image_size_limit(
        file.context.get(), static_cast<int>(std::min(limit, kLibheifSideLimit)));
    // libheif decodes a grid's tiles on threads of its own, four unless told otherwise.
    heif_context_set_max_decoding_threads(
        file.context.get(), static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    return file;
}

Pointer<heif_image> decodePrimary(const LibheifFile& file, heif_colorspace colorspace,
                                  heif_chroma chroma, const heif_decoding_options& options) {
    heif_image* decoded = nullptr;
    const heif_error error =
        heif_decode_image(file.primary.get(), &decoded, colorspace, chroma, &options);
    Pointer<heif_image> image(decoded);
    // The limit is the largest size the file states (see openWithLibheif).
    if (isSizeLimit(error)) refuse("It holds a picture larger than the sizes it states.");
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
        refuse("It decodes to " + std::to_string(width) + " × " + std::to_string(height) +
               " pixels, not the " + std::to_string(statedWidth) + " × " +
               std::to_string(statedHeight) + " it states.");
    }
    return image;
}

}  // namespace quillmere::heif
