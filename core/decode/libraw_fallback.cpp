#include "core/decode/libraw_fallback.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/decode/bridge_output.h"
#include "core/decode/decoded_texture.h"
#include "core/decode/native_raw_error.h"

namespace quillmere::LibRawFallback {
namespace {

// Whether every colour of `pixelCount` RGBA half-float pixels is zero. A real sensor's read noise
// always leaves some pixel above black, so such a development comes from a file without its
// image data.
bool isBlack(const std::uint16_t* rgba, std::size_t pixelCount) {
    constexpr std::uint16_t magnitudeBits = 0x7fff;  // +0 and -0 alike
    for (std::size_t i = 0; i < pixelCount; ++i) {
        const std::uint16_t* pixel = rgba + 4 * i;
        if ((pixel[0] & magnitudeBits) != 0 || (pixel[1] & magnitudeBits) != 0 ||
            (pixel[2] & magnitudeBits) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace

LibRawFallbackImage decode(const std::filesystem::path& url, const Device& device) {
    BridgeErrorBuffer error;
    std::int32_t info[3] = {};
    std::uint16_t* pixels = nullptr;
    const std::int32_t result =
        qx_raw_render_original(url.c_str(), info, &pixels, error.data(), error.size());
    const BridgeBuffer<std::uint16_t> rgba(pixels);
    const int width = info[0];
    const int height = info[1];
    if (result != 0 || !rgba || width < 1 || height < 1) {
        throw NativeRAWError::decoding(error.message("Unknown general RAW rendering error."));
    }
    if (isBlack(rgba.get(), static_cast<std::size_t>(width) * static_cast<std::size_t>(height))) {
        throw NativeRAWError::missingImageData();
    }
    float iso = 0.0f;
    std::memcpy(&iso, &info[2], sizeof iso);

    // Both the bridge and the texture keep the image's bottom row first.
    std::shared_ptr<Texture> texture = makeDecodedTexture(
        device, PixelFormat::rgba16Float, width, height, rgba.get(), "LibRaw fallback linear RGB");
    if (!texture) throw NativeRAWError::allocation();
    return {std::move(texture), iso};
}

bool supportsDetail(const std::filesystem::path& url) {
    return qx_raw_is_supported_bayer(url.c_str());
}

}  // namespace quillmere::LibRawFallback
