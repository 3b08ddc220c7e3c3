#include "core/decode/raw_thumbnail.h"

#include <cstdint>
#include <optional>

#include "core/compute/lanczos_scale.h"
#include "core/decode/bridge_output.h"
#include "core/decode/decoded_texture.h"
#include "core/decode/handed_back_development.h"
#include "core/decode/raw_file_vetting.h"
#include "core/imageio/thumbnail_size.h"

namespace quillmere {
namespace {

// The developed picture, width × height half-float RGBA pixels, fitted to `longestSide`.
std::shared_ptr<Texture> fittedThumbnail(const Device& device, int width, int height,
                                         const std::uint16_t* rgba, int longestSide) {
    // Both the development and the texture keep the image's bottom row first.
    std::shared_ptr<Texture> developed =
        makeDecodedTexture(device, PixelFormat::rgba16Float, width, height, rgba, "RAW thumbnail");
    const auto [fittedWidth, fittedHeight] = Thumbnail::fittedSize(width, height, longestSide);
    if (!developed || (fittedWidth == width && fittedHeight == height)) return developed;
    std::shared_ptr<Texture> fitted =
        makeDecodedTexture(device, PixelFormat::rgba16Float, fittedWidth, fittedHeight);
    if (fitted) lanczosScale(*developed, *fitted);
    return fitted;
}

}  // namespace

std::shared_ptr<Texture> linearRAWThumbnail(const std::filesystem::path& url, const Device& device,
                                            int longestSide) {
    if (rawFileRefusal(url)) return nullptr;
    // The checking helper hands back a half-size development only of a file the bridge's
    // thumbnail develops with LibRaw at half size (developThumbnail), with that very call.
    if (const std::optional<HandedBackDevelopment> developed =
            takeRAWDevelopment(url, HandedBackDevelopment::Kind::half)) {
        return fittedThumbnail(device, developed->width(), developed->height(), developed->rgba(),
                               longestSide);
    }
    BridgeErrorBuffer error;
    std::int32_t size[2] = {0, 0};
    std::uint16_t* pixels = nullptr;
    const std::int32_t result =
        qx_raw_thumbnail(url.c_str(), size, &pixels, error.data(), error.size());
    const BridgeBuffer<std::uint16_t> rgba(pixels);
    if (result != 0 || !rgba || size[0] < 1 || size[1] < 1) return nullptr;
    return fittedThumbnail(device, size[0], size[1], rgba.get(), longestSide);
}

}  // namespace quillmere
