#include "core/imageio/heif/heif_file.h"

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include <libheif/heif.h>

#include "core/imageio/heif/heif_reading.h"
#include "core/imageio/imageio_error.h"
#include "core/imageio/linear_image_assembler.h"
#include "core/imageio/linear_srgb_transform.h"

namespace quillmere {
namespace {

using heif::Pointer;

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
LinearSrgbTransform transformForNclx(const heif_color_profile_nclx& nclx) {
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
        transferCurveOf(nclx.transfer_characteristics).value_or(TransferCurve::sRGB));
}

std::optional<LinearSrgbTransform> transformForIcc(const heif_image_handle& handle) {
    const heif_color_profile_type type = heif_image_handle_get_color_profile_type(&handle);
    if (type != heif_color_profile_type_prof && type != heif_color_profile_type_rICC) {
        return std::nullopt;
    }
    std::string profile(heif_image_handle_get_raw_color_profile_size(&handle), '\0');
    if (profile.empty() ||
        heif_image_handle_get_raw_color_profile(&handle, profile.data()).code != heif_error_Ok) {
        return std::nullopt;
    }
    return LinearSrgbTransform::fromIccProfile(profile, LinearSrgbTransform::Input::rgbFloat);
}

// The embedded ICC profile, else the nclx profile of the file or of the coded stream, else sRGB.
LinearSrgbTransform transformFor(const heif_image_handle& handle, const heif_image& image) {
    if (std::optional<LinearSrgbTransform> icc = transformForIcc(handle)) return std::move(*icc);
    // libheif hands out a profile it could not fill, too: it is released either way.
    const auto nclxOf = [](const auto& get) -> Pointer<heif_color_profile_nclx> {
        heif_color_profile_nclx* nclx = nullptr;
        const bool read = get(&nclx).code == heif_error_Ok;
        Pointer<heif_color_profile_nclx> owned(nclx);
        return read ? std::move(owned) : nullptr;
    };
    Pointer<heif_color_profile_nclx> nclx = nclxOf(
        [&](heif_color_profile_nclx** out) { return heif_image_handle_get_nclx_color_profile(&handle, out); });
    if (!nclx) {
        nclx = nclxOf([&](heif_color_profile_nclx** out) { return heif_image_get_nclx_color_profile(&image, out); });
    }
    if (nclx) return transformForNclx(*nclx);
    return LinearSrgbTransform::fromColorSpace(srgbPrimaries, TransferCurve::sRGB);
}

LinearImage decodeLinearFrom(const heif::LibheifFile& file) {
    const heif_image_handle* handle = file.primary.get();
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    const heif_chroma chroma =
        deep ? heif_chroma_interleaved_RRGGBB_LE : heif_chroma_interleaved_RGB;
    const Pointer<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options) throw ImageIOError(ImageIOError::Code::outOfMemory);
    options->ignore_transformations = 0;
    const Pointer<heif_image> image =
        heif::decodePrimary(file, heif_colorspace_RGB, chroma, *options);

    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const std::size_t bytesPerSample = deep ? 2 : 1;
    if (plane == nullptr || bits < 1 || bits > 16 ||
        static_cast<std::int64_t>(stride) <
            static_cast<std::int64_t>(width) * 3 * static_cast<std::int64_t>(bytesPerSample)) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "The decoded image has no pixels.");
    }

    LinearImageAssembler assembler(width, height, 1);
    const LinearSrgbTransform transform = transformFor(*handle, *image);
    const float scale = 1.0f / static_cast<float>((1u << bits) - 1u);
    std::vector<float> encodedRgb(static_cast<std::size_t>(width) * 3);
    std::vector<float> linearRgb(encodedRgb.size());
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        for (std::size_t index = 0; index < encodedRgb.size(); ++index) {
            const unsigned sample =
                deep ? static_cast<unsigned>(row[2 * index] | (row[2 * index + 1] << 8))
                     : row[index];
            encodedRgb[index] = static_cast<float>(sample) * scale;
        }
        transform.convert(encodedRgb.data(), linearRgb.data(), static_cast<std::uint32_t>(width));
        assembler.setRow(y, linearRgb.data());
    }
    return std::move(assembler).take();
}

}  // namespace

LinearImage HeifFile::decodeLinear() const {
    try {
        return decodeLinearFrom(heif::openWithLibheif(bytes_, items_));
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

Rgb8Image HeifFile::decodeRgb8() const {
    const heif::LibheifFile file = heif::openWithLibheif(bytes_, items_);
    const Pointer<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options) throw ImageIOError(ImageIOError::Code::outOfMemory);
    // libheif applies the declared rotation and mirroring itself, so nothing turns it again.
    options->ignore_transformations = 0;
    options->convert_hdr_to_8bit = 1;
    const Pointer<heif_image> decoded =
        heif::decodePrimary(file, heif_colorspace_RGB, heif_chroma_interleaved_RGB, *options);
    const int width = heif_image_get_width(decoded.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(decoded.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane =
        heif_image_get_plane_readonly(decoded.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr || width < 1 || height < 1 ||
        heif_image_get_bits_per_pixel_range(decoded.get(), heif_channel_interleaved) != 8 ||
        std::int64_t{stride} < std::int64_t{width} * 3) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "The decoded image has no pixels.");
    }
    LinearImageAssembler::checkSize(width, height);
    Rgb8Image image{width, height, std::vector<std::uint8_t>(std::size_t(width) * std::size_t(height) * 3)};
    const std::size_t rowBytes = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = plane + std::size_t(y) * std::size_t(stride);
        std::copy(row, row + rowBytes, image.rgb.data() + std::size_t(y) * rowBytes);
    }
    return image;
}

}  // namespace quillmere
