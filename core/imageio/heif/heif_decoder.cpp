#include "core/imageio/heif/heif_decoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include <libheif/heif.h>

#include "core/imageio/heif/heif_reading.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/linear_image_assembler.h"
#include "core/imageio/linear_srgb_transform.h"

namespace quillmere {
namespace {

using heif_reading::Pointer;

std::optional<TransferCurve> transferCurveOf(heif_transfer_characteristics transfer) {
    switch (transfer) {
        case heif_transfer_characteristic_ITU_R_BT_709_5:
        case heif_transfer_characteristic_ITU_R_BT_601_6:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_10bit:
        case heif_transfer_characteristic_ITU_R_BT_2020_2_12bit:
            return TransferCurve::bt709;
        case heif_transfer_characteristic_IEC_61966_2_1:
            return TransferCurve::sRGB;
        case heif_transfer_characteristic_linear:
            return TransferCurve::linear;
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
            return TransferCurve::gamma22;
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
            return TransferCurve::gamma28;
        default:
            return std::nullopt;
    }
}

bool isChromaticity(float x, float y) {
    return std::isfinite(x) && std::isfinite(y) && x > 0.0f && y > 0.0f && x + y <= 1.0f;
}

// The colour space an nclx profile names. Curves this program does not model (unspecified, or
// the HDR curves) are read as sRGB, which every HEIF writer uses for photos.
LinearSrgbTransform transformForNclx(const heif_color_profile_nclx& nclx, std::uint32_t maxCode) {
    const RgbPrimaries primaries{nclx.color_primary_red_x,   nclx.color_primary_red_y,
                                 nclx.color_primary_green_x, nclx.color_primary_green_y,
                                 nclx.color_primary_blue_x,  nclx.color_primary_blue_y,
                                 nclx.color_primary_white_x, nclx.color_primary_white_y};
    const bool primariesUsable = isChromaticity(nclx.color_primary_red_x, nclx.color_primary_red_y) &&
                                 isChromaticity(nclx.color_primary_green_x, nclx.color_primary_green_y) &&
                                 isChromaticity(nclx.color_primary_blue_x, nclx.color_primary_blue_y) &&
                                 isChromaticity(nclx.color_primary_white_x, nclx.color_primary_white_y);
    return LinearSrgbTransform::fromColorSpace(
        primariesUsable ? primaries : srgbPrimaries,
        transferCurveOf(nclx.transfer_characteristics).value_or(TransferCurve::sRGB), maxCode);
}

std::optional<LinearSrgbTransform> transformForIcc(const heif_image_handle& handle,
                                                   std::uint32_t maxCode) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(&handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) {
        return std::nullopt;
    }
    std::string profile(heif_image_handle_get_raw_color_profile_size(&handle), '\0');
    if (profile.empty() ||
        heif_image_handle_get_raw_color_profile(&handle, profile.data()).code != heif_error_Ok) {
        return std::nullopt;
    }
    return LinearSrgbTransform::fromIccProfile(profile, LinearSrgbTransform::Input::rgb, maxCode);
}

// The embedded ICC profile, else the nclx profile of the file or of the coded stream, else sRGB;
// for samples from 0 to `maxCode`.
LinearSrgbTransform transformFor(const heif_image_handle& handle, const heif_image& image,
                                 std::uint32_t maxCode) {
    if (std::optional<LinearSrgbTransform> icc = transformForIcc(handle, maxCode)) {
        return std::move(*icc);
    }
    heif_color_profile_nclx* nclx = nullptr;
    if (heif_image_handle_get_nclx_color_profile(&handle, &nclx).code != heif_error_Ok) {
        nclx = nullptr;
        if (heif_image_get_nclx_color_profile(&image, &nclx).code != heif_error_Ok) nclx = nullptr;
    }
    const Pointer<heif_color_profile_nclx> owned(nclx);
    if (owned) return transformForNclx(*owned, maxCode);
    return LinearSrgbTransform::fromColorSpace(srgbPrimaries, TransferCurve::sRGB, maxCode);
}

// The R, G and B planes of a decoded picture, one row after another.
struct RgbPlanes {
    std::array<const std::uint8_t*, 3> planes{};
    std::array<int, 3> strides{};

    template <class Sample>
    SampleRow<Sample> row(int y) const {
        SampleRow<Sample> samples;
        for (std::size_t channel = 0; channel < 3; ++channel) {
            samples.channels[channel] = reinterpret_cast<const Sample*>(
                planes[channel] + static_cast<std::size_t>(y) * static_cast<std::size_t>(strides[channel]));
        }
        return samples;
    }
};

LinearImage decode(std::string_view bytes) {
    const heif_reading::File file = heif_reading::read(bytes);
    const heif_image_handle* handle = file.primary.get();
    const Pointer<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options) throw ImageIOError(ImageIOError::Code::outOfMemory);
    options->ignore_transformations = 0;
    // libheif decodes a grid's tiles on threads of its own, four unless told otherwise.
    heif_context_set_max_decoding_threads(
        file.context.get(), static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    // RGB planes: libheif converts every picture to them and would copy them once more into
    // interleaved samples.
    const Pointer<heif_image> image =
        heif_reading::decodePrimary(file, heif_colorspace_RGB, heif_chroma_444, *options);

    const int width = heif_image_get_width(image.get(), heif_channel_R);
    const int height = heif_image_get_height(image.get(), heif_channel_R);
    const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_R);
    const bool deep = bits > 8;
    RgbPlanes rgb;
    const std::array channels{heif_channel_R, heif_channel_G, heif_channel_B};
    for (std::size_t index = 0; index < channels.size(); ++index) {
        const heif_channel channel = channels[index];
        rgb.planes[index] = heif_image_get_plane_readonly(image.get(), channel, &rgb.strides[index]);
        if (rgb.planes[index] == nullptr || bits < 1 || bits > 16 ||
            heif_image_get_width(image.get(), channel) != width ||
            heif_image_get_height(image.get(), channel) != height ||
            heif_image_get_bits_per_pixel_range(image.get(), channel) != bits ||
            static_cast<std::int64_t>(rgb.strides[index]) <
                static_cast<std::int64_t>(width) * (deep ? 2 : 1)) {
            throw ImageIOError(ImageIOError::Code::corruptImage, "The decoded image has no pixels.");
        }
    }

    LinearImageAssembler assembler(width, height, 1);
    const LinearSrgbTransform transform = transformFor(*handle, *image, (1u << bits) - 1u);
    const auto pixelCount = static_cast<std::uint32_t>(width);
    assembler.assemble({.convert = [&](int y, const std::uint8_t*, float* linearRgba) {
        if (deep) return transform.convert(rgb.row<std::uint16_t>(y), linearRgba, pixelCount);
        transform.convert(rgb.row<std::uint8_t>(y), linearRgba, pixelCount);
    }});
    return std::move(assembler).take();
}

}  // namespace

LinearImage decodeHeif(std::string_view bytes) {
    try {
        return decode(bytes);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

}  // namespace quillmere
