#include "rawbridge/thumbnail_development.h"

#include <cstring>
#include <memory>

#include "rawbridge/image_data.h"
#include "rawbridge/libraw_instance.h"

namespace quillmere::rawbridge {
namespace {

struct MemoryImageRelease {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

}  // namespace

ThumbnailImage developThumbnail(const char* path) {
    LibRawInstance raw = newLibRawInstance();
    check(raw->open_file(path), "Open RAW");
    requireImageData(*raw);
    check(raw->unpack(), "Unpack RAW");
    raw->imgdata.params.half_size = 1;
    raw->imgdata.params.use_camera_wb = 1;
    raw->imgdata.params.output_bps = 8;
    check(raw->dcraw_process(), "Develop RAW");

    int code = 0;
    const std::unique_ptr<libraw_processed_image_t, MemoryImageRelease> image(
        raw->dcraw_make_mem_image(&code));
    if (!image) check(code != 0 ? code : LIBRAW_UNSPECIFIED_ERROR, "Create RAW image");
    const std::uint64_t pixels = std::uint64_t{image->width} * image->height;
    if (image->type != LIBRAW_IMAGE_BITMAP || image->colors != 3 || image->bits != 8 ||
        image->data_size < pixels * 3) {
        fail("LibRaw returned an unsupported developed image layout.");
    }
    ThumbnailImage thumbnail;
    thumbnail.width = image->width;
    thumbnail.height = image->height;
    thumbnail.rgb = allocateBuffer<std::uint8_t>(pixels, 3, "Cannot allocate the RAW thumbnail.");
    std::memcpy(thumbnail.rgb.get(), image->data, pixels * 3);
    return thumbnail;
}

}  // namespace quillmere::rawbridge
