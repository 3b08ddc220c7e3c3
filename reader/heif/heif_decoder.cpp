#include "reader/heif/heif_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <optional>
#include <string>

#include <libheif/heif.h>

#include "reader/heif/heif_reading.h"
#include "core/imageio/imageio_error.h"
#include "reader/raster/linear_image_assembler.h"
#include "reader/colour/linear_srgb_transform.h"

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

// The embedded ICC profile, else the nclx profile of the file or of the coded stream, else sRGB;
// for samples from 0 to `maxCode`.
LinearSrgbTransform transformFor(const std::string& iccProfile, const heif_image_handle& handle,
                                 const heif_image& image, std::uint32_t maxCode) {
    if (std::optional<LinearSrgbTransform> icc = LinearSrgbTransform::fromIccProfile(
            iccProfile, LinearSrgbTransform::Input::rgb, maxCode)) {
        return std::move(*icc);
    }
    // libheif hands out a profile it could not fill, too: it is released either way.
    const auto nclxOf = [](const auto& get) -> Pointer<heif_color_profile_nclx> {
        heif_color_profile_nclx* nclx = nullptr;
        const bool read = get(&nclx).code == heif_error_Ok;
        Pointer<heif_color_profile_nclx> owned(nclx);
        return read ? std::move(owned) : nullptr;
    };
    Pointer<heif_color_profile_nclx> nclx = nclxOf([&](heif_color_profile_nclx** out) {
        return heif_image_handle_get_nclx_color_profile(&handle, out);
    });
    if (!nclx) {
        nclx = nclxOf([&](heif_color_profile_nclx** out) {
            return heif_image_get_nclx_color_profile(&image, out);
        });
    }
    if (nclx) return transformForNclx(*nclx, maxCode);
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

// The primary image decoded by libheif as RGB planes, and their conversion into linear light.
struct LinearRows {
    LinearRows(const heif::LibheifFile& file, const std::string& iccProfile) {
        const heif_image_handle* handle = file.primary.get();
        const Pointer<heif_decoding_options> options(heif_decoding_options_alloc());
        if (!options) throw ImageIOError(ImageIOError::Code::outOfMemory);
        options->ignore_transformations = 0;
        // RGB planes: libheif converts every picture to them and would copy them once more into
        // interleaved samples.
        image = heif::decodePrimary(file, heif_colorspace_RGB, heif_chroma_444, *options);

        width = heif_image_get_width(image.get(), heif_channel_R);
        height = heif_image_get_height(image.get(), heif_channel_R);
        const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_R);
        deep = bits > 8;
        const std::array channels{heif_channel_R, heif_channel_G, heif_channel_B};
        for (std::size_t index = 0; index < channels.size(); ++index) {
            const heif_channel channel = channels[index];
            rgb.planes[index] =
                heif_image_get_plane_readonly(image.get(), channel, &rgb.strides[index]);
            if (rgb.planes[index] == nullptr || bits < 1 || bits > 16 ||
                heif_image_get_width(image.get(), channel) != width ||
                heif_image_get_height(image.get(), channel) != height ||
                heif_image_get_bits_per_pixel_range(image.get(), channel) != bits ||
                static_cast<std::int64_t>(rgb.strides[index]) <
                    static_cast<std::int64_t>(width) * (deep ? 2 : 1)) {
                throw ImageIOError(ImageIOError::Code::corruptImage,
                                   "The decoded image has no pixels.");
            }
        }
        transform.emplace(transformFor(iccProfile, *handle, *image, (1u << bits) - 1u));
    }

    LinearImageAssembler::StoredRows storedRows() const {
        return {.convert = [this](int y, const std::uint8_t*, float* linearRgba) {
            const auto pixelCount = static_cast<std::uint32_t>(width);
            if (deep) return transform->convert(rgb.row<std::uint16_t>(y), linearRgba, pixelCount);
            transform->convert(rgb.row<std::uint8_t>(y), linearRgba, pixelCount);
        }};
    }

    Pointer<heif_image> image;
    int width = 0;
    int height = 0;
    bool deep = false;
    RgbPlanes rgb;
    std::optional<LinearSrgbTransform> transform;
};

}  // namespace

const heif::LibheifFile& HeifFile::opened() {
    if (libheif_) return *libheif_;
    try {
        std::unique_ptr<heif::LibheifFile, void (*)(heif::LibheifFile*)> file(
            new heif::LibheifFile(heif::openWithLibheif(bytes_, items_)),
            [](heif::LibheifFile* opened) { delete opened; });
        const heif_image_handle& primary = *file->primary;
        claim_.width = heif_image_handle_get_width(&primary);
        claim_.height = heif_image_handle_get_height(&primary);
        claim_.bitDepth = std::max(heif_image_handle_get_luma_bits_per_pixel(&primary), 8);
        claim_.alpha = heif_image_handle_has_alpha_channel(&primary) != 0;
        claim_.pictures = file->checks.pictures;
        claim_.madePixels = file->checks.madePixels;
        claim_.codedBytes = file->checks.codedBytes;
        claim_.iccProfile = heif::iccProfileOf(primary);
        libheif_ = std::move(file);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
    return *libheif_;
}

const HeifClaim& HeifFile::claim() {
    opened();
    return claim_;
}

LinearImage HeifFile::decodeLinear() {
    return refusingWithoutMemory([&] {
        const LinearRows rows(opened(), claim_.iccProfile);
        LinearImageAssembler assembler(rows.width, rows.height, 1);
        assembler.assemble(rows.storedRows());
        return std::move(assembler).take();
    });
}

std::pair<int, int> HeifFile::decodeHalfFloat(std::uint16_t* texels) {
    return refusingWithoutMemory([&] {
        // decodePrimary refuses any size but the claim's, or the claim's with its sides exchanged:
        // the texels, sized from the claim, hold it either way.
        const LinearRows rows(opened(), claim_.iccProfile);
        LinearImageAssembler assembler(rows.width, rows.height, 1, texels);
        assembler.assemble(rows.storedRows());
        return std::pair{rows.width, rows.height};
    });
}

Rgb8Image HeifFile::decodeRgb8() {
    const heif::LibheifFile& file = opened();
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
