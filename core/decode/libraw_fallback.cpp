#include "core/decode/libraw_fallback.h"

#include <cstdint>
#include <cstring>
#include <optional>

#include "core/decode/bridge_output.h"
#include "core/decode/decoded_texture.h"
#include "core/decode/handed_back_development.h"
#include "core/decode/native_raw_error.h"
#include "core/decode/raw_file_vetting.h"

namespace quillmere::LibRawFallback {
namespace {

LibRawFallbackImage fallbackImage(const Device& device, int width, int height,
                                  const std::uint16_t* rgba, float iso) {
    // Both the development and the texture keep the image's bottom row first.
    std::shared_ptr<Texture> texture = makeDecodedTexture(
        device, PixelFormat::rgba16Float, width, height, rgba, "LibRaw fallback linear RGB");
    if (!texture) throw NativeRAWError::allocation();
    return {std::move(texture), iso};
}

}  // namespace

LibRawFallbackImage decode(const std::filesystem::path& url, const Device& device) {
    if (const std::optional<std::string> refusal = rawFileRefusal(url)) {
        throw NativeRAWError::decoding(*refusal);
    }
    // The checking helper's full development of this very version is the bridge's own, made with
    // the same call (developFully at full size).
    if (const std::optional<HandedBackDevelopment> developed =
            takeRAWDevelopment(url, HandedBackDevelopment::Kind::full)) {
        return fallbackImage(device, developed->width(), developed->height(), developed->rgba(),
                             developed->iso());
    }
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
    float iso = 0.0f;
    std::memcpy(&iso, &info[2], sizeof iso);
    return fallbackImage(device, width, height, rgba.get(), iso);
}

bool supportsDetail(const std::filesystem::path& url) {
    return !rawFileRefusal(url) && qx_raw_is_supported_bayer(url.c_str());
}

}  // namespace quillmere::LibRawFallback
