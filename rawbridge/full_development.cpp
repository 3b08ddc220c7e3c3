#include "rawbridge/full_development.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "rawbridge/half_float.h"
#include "rawbridge/image_data.h"
#include "rawbridge/inset_crop.h"
#include "rawbridge/libraw_instance.h"
#include "rawbridge/raw_claims.h"

namespace quillmere::rawbridge {
namespace {

constexpr float kMinimumCropFraction = 0.55f;

struct MemoryImageRelease {
    void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};
using MemoryImage = std::unique_ptr<libraw_processed_image_t, MemoryImageRelease>;

// 16-bit linear output in sRGB primaries with the camera's white balance; everything else stays
// LibRaw's default (its camera matrix and its scaling).
void configureLinearSRGB(libraw_output_params_t& params) {
    params.output_bps = 16;
    params.output_color = 1;
    params.use_camera_wb = 1;
    params.gamm[0] = 1.0;
    params.gamm[1] = 1.0;
    params.no_auto_bright = 1;
    params.highlight = 0;
    params.use_auto_wb = 0;
    params.bright = 1.0f;
    params.threshold = 0.0f;
    params.fbdd_noiserd = 0;
    params.med_passes = 0;
}

// Unstretched, LibRaw's development makes at most a pixel for each sample the file states (a
// mosaic's site is one sample, a full-colour pixel three); stretching non-square samples into
// shape makes more from the same samples, twice as many for the cameras that have them and as
// many as LibRaw's 16-bit sizes allow for a hostile DefaultScale. What a file may make is bounded
// by what it holds, so the full development may make no more pixels than the file's bytes can
// hold samples (samplesHeld). The half-size development (a thumbnail) is held to the full one's
// bound, so that a file's thumbnail is refused exactly when the photo is.
void requireDataForDevelopment(LibRaw& raw) {
    if (!(developedPixels(raw) <= static_cast<double>(samplesHeld(raw)))) {
        fail("The RAW file holds too little image data for its developed size.");
    }
}

bool hasSupportedLayout(const libraw_processed_image_t& image) {
    const std::uint64_t needed = std::uint64_t{image.width} * image.height * image.colors * 2;
    return image.type == LIBRAW_IMAGE_BITMAP && image.colors >= 3 && image.bits == 16 &&
           image.data_size >= needed;
}

}  // namespace

DevelopedImage developFully(const char* path, DevelopmentSize size) {
    LibRawInstance raw = openFile(path);
    requireDataForDevelopment(*raw);
    check(raw->unpack(), "Unpack RAW");
    adjustToRawInsetCrop(*raw, kMinimumCropFraction);
    configureLinearSRGB(raw->imgdata.params);
    raw->imgdata.params.half_size = size == DevelopmentSize::half ? 1 : 0;
    check(raw->dcraw_process(), "Develop RAW");

    int code = 0;
    const MemoryImage image(raw->dcraw_make_mem_image(&code));
    if (!image) check(code != 0 ? code : LIBRAW_UNSPECIFIED_ERROR, "Create RAW image");
    if (!hasSupportedLayout(*image)) {
        fail("LibRaw returned an unsupported developed image layout.");
    }

    DevelopedImage developed;
    developed.width = image->width;
    developed.height = image->height;
    developed.iso = raw->imgdata.other.iso_speed;
    developed.rgba = allocateBuffer<std::uint16_t>(std::uint64_t{image->width} * image->height, 4,
                                                   "Cannot allocate developed RAW texture.");

    const std::size_t width = image->width;
    const std::size_t colours = image->colors;
    for (std::size_t row = 0; row < image->height; ++row) {
        const unsigned char* in = image->data + row * width * colours * 2;
        std::uint16_t* out = developed.rgba.get() + (image->height - 1 - row) * width * 4;
        for (std::size_t x = 0; x < width; ++x, in += colours * 2, out += 4) {
            std::uint16_t samples[3];
            std::memcpy(samples, in, sizeof samples);
            for (int channel = 0; channel < 3; ++channel) {
                out[channel] = halfFromFloat(static_cast<float>(samples[channel]) / 65535.0f);
            }
            out[3] = kHalfOne;
        }
    }
    return developed;
}

}  // namespace quillmere::rawbridge
